#include "options.h"

#include "announcer.h"
#include "mail_store.h"
#include "options_dialog.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QWidget>

namespace orvane::mailer {

Expected<int> parseRecordingSeconds(const QString& typed) {
    const Failure refused{FailureKind::BadInput,
                          QStringLiteral("録音時間は%1から%2までの秒数で入力してください")
                              .arg(kMinRecordingSeconds)
                              .arg(kMaxRecordingSeconds)};
    // Digits typed with the input method on are full width.
    const QString text = typed.normalized(QString::NormalizationForm_KC).trimmed();
    bool whole = false;
    const int seconds = text.toInt(&whole);
    if (!whole || seconds < kMinRecordingSeconds || seconds > kMaxRecordingSeconds) {
        return refused;
    }
    return seconds;
}

Options::Options(MailStore& store, Announcer& announcer, MailerState& state, QWidget* mainWindow)
    : store_(store), announcer_(announcer), state_(state), mainWindow_(mainWindow) {}

Options::~Options() {
    delete dialog_.data();
}

OptionsDialog* Options::dialog() const {
    return dialog_;
}

void Options::read_options() {
    const SignatureOption signature = store_.signature();
    const VoiceOption voice = store_.voice();
    state_.signature = signature.signature;
    state_.recording_seconds = voice.sec;
    state_.voice_file_base = voice.voiceFile;
    if (dialog_) {
        fillDialog();
    }
}

void Options::fillDialog() {
    const NewsOption news = store_.news();
    const SignatureOption signature = store_.signature();
    const VoiceOption voice = store_.voice();
    OptionsDialog& d = *dialog_;
    {
        // Filling is not the user ticking the box: nothing to say.
        const QSignalBlocker quiet(d.newsCheck1);
        d.newsCheck1->setChecked(news.sel);
    }
    d.newsSite1->setText(news.site);
    d.signature1->setPlainText(signature.signature);
    d.rec_sec->setText(QString::number(voice.sec));
    d.rec_message->clear();
}

OptionsDialog& Options::openDialog() {
    if (!dialog_) {
        dialog_ = new OptionsDialog(announcer_, mainWindow_);
        connect(dialog_->cmdOK, &QPushButton::clicked, this, &Options::cmdOK_Click);
        connect(dialog_->cmdCancel, &QPushButton::clicked, dialog_, &QDialog::reject);
        // ｷｬﾝｾﾙ, Esc and the close box.
        connect(dialog_, &QDialog::rejected, this, &Options::cmdCancel_Click);
        const QScreen* screen =
            mainWindow_ != nullptr ? mainWindow_->screen() : QGuiApplication::primaryScreen();
        if (screen != nullptr) {
            const QRect area = screen->geometry();
            dialog_->move(area.x() + (area.width() - dialog_->width()) / 2,
                          area.y() + (area.height() - dialog_->height()) / 2);
        }
        // A new dialog shows what is stored. The values in memory stay: they
        // already follow every OK, and the voice file name in memory may be
        // a recording's that is still to be sent.
        fillDialog();
    }
    return *dialog_;
}

void Options::t_option_Click() {
    announcer_.speak(QStringLiteral("オプション"));
    const bool fresh = !dialog_;
    OptionsDialog& d = openDialog();
    d.show();
    d.raise();
    d.activateWindow();
    // A dialog already open keeps its page and focus.
    if (fresh) {
        d.signature1->setFocus(Qt::OtherFocusReason);
    }
}

Expected<void> Options::write_options() {
    const OptionsDialog& d = *dialog_;
    const Expected<int> seconds = parseRecordingSeconds(d.rec_sec->text());
    if (!seconds) {
        return seconds.failure();
    }
    const QString signature = d.signature1->toPlainText();
    store_.setNewsSelected(d.newsCheck1->isChecked());
    store_.setNewsSite(d.newsSite1->text());
    store_.setSignature(signature);
    store_.setVoiceSeconds(*seconds);
    state_.signature = signature;
    state_.recording_seconds = *seconds;
    return {};
}

void Options::cmdOK_Click() {
    OptionsDialog& d = *dialog_;
    try {
        const Expected<void> written = write_options();
        if (!written) {
            const QString reason = written.failure().reason;
            d.rec_message->setText(reason);
            announcer_.speak(reason);
            d.showPage(OptionsDialog::kPageCount - 1, true);
            d.rec_sec->selectAll();
            return;
        }
    } catch (const StoreError& e) {
        d.rec_message->setText(QStringLiteral("エラー：") + e.reason());
        announcer_.report_error(e.reason());
        return;
    }
    announcer_.speak(QStringLiteral("オプションを保存しました"));
    closeDialog();
}

void Options::cmdCancel_Click() {
    announcer_.speak(QStringLiteral("キャンセルしました。オプションは変えていません"));
    closeDialog();
}

void Options::closeDialog() {
    OptionsDialog* d = dialog_;
    dialog_.clear();
    d->hide();
    d->deleteLater();
}

}  // namespace orvane::mailer
