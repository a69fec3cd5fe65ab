#include "mail_actions.h"

#include "announcer.h"
#include "mail_list.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "reply.h"

#include <QFileInfo>
#include <QKeyEvent>
#include <QTableView>
#include <QTextBoundaryFinder>
#include <QTextEdit>

#include <algorithm>

namespace orvane::mailer {

namespace {

std::optional<MailListKey> mailListKeyOf(int key) {
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return MailListKey::Enter;
        case Qt::Key_Insert:
            return MailListKey::Insert;
        case Qt::Key_Delete:
            return MailListKey::Delete;
        case Qt::Key_Escape:
            return MailListKey::Escape;
        case Qt::Key_Space:
            return MailListKey::Space;
        default:
            return std::nullopt;
    }
}

}  // namespace

QString commandName(MailListKey key) {
    switch (key) {
        case MailListKey::Enter:
            return QStringLiteral("MSFlexGrid1_enter");
        case MailListKey::Insert:
            return QStringLiteral("MSFlexGrid1_insert");
        case MailListKey::Delete:
            return QStringLiteral("MSFlexGrid1_delete");
        case MailListKey::Escape:
            return QStringLiteral("MSFlexGrid1_escape");
        case MailListKey::Space:
            return QStringLiteral("MSFlexGrid1_space");
    }
    return {};
}

SenderEntry senderEntry(const QString& mailfrom) {
    const qsizetype open = mailfrom.indexOf(QLatin1Char('<'));
    const qsizetype close = open < 0 ? -1 : mailfrom.indexOf(QLatin1Char('>'), open + 1);
    if (close < 0) {
        return {QStringLiteral(" "), mailfrom.trimmed()};
    }
    QString name = mailfrom.left(open).remove(QLatin1Char('"'));
    if (name.isEmpty()) {
        name = QStringLiteral(" ");
    }
    return {name, mailfrom.mid(open + 1, close - open - 1).trimmed()};
}

bool isVoiceAttachment(const QString& path) {
    return path.endsWith(QLatin1String(".mp3"), Qt::CaseSensitive);
}

QStringList longTextPieces(const QString& text, int size) {
    if (text.size() <= size) {
        return {text};
    }
    QStringList pieces;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (text.size() - start > size) {
        qsizetype cut = start + size;
        characters.setPosition(cut);
        if (!characters.isAtBoundary()) {
            cut = characters.toPreviousBoundary();
            if (cut <= start) {
                characters.setPosition(start + size);
                cut = characters.toNextBoundary();
            }
        }
        pieces << text.mid(start, cut - start);
        start = cut;
    }
    if (start < text.size()) {
        pieces << text.mid(start);
    }
    return pieces;
}

MailActions::MailActions(MailStore& store, Announcer& announcer, MailerState& state,
                         MailList& mailList, MailActionWidgets widgets, MailActionHooks hooks,
                         QObject* parent)
    : QObject(parent),
      store_(store),
      announcer_(announcer),
      state_(state),
      mailList_(mailList),
      widgets_(widgets),
      hooks_(std::move(hooks)) {
    widgets_.grid->installEventFilter(this);
}

void MailActions::onKey(std::function<void(MailListKey)> handler) {
    key_ = std::move(handler);
}

bool MailActions::eventFilter(QObject* watched, QEvent* event) {
    if (watched != widgets_.grid) {
        return false;
    }
    // The list's guide is back as soon as the user is, not only after a key.
    if (event->type() == QEvent::FocusIn) {
        announcer_.shortcut(kMailListKeyGuide);
        return false;
    }
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    return mail_list_key(static_cast<QKeyEvent*>(event)->key());
}

bool MailActions::mail_list_key(int key) {
    announcer_.shortcut(kMailListKeyGuide);
    const std::optional<MailListKey> mailKey = mailListKeyOf(key);
    if (!mailKey || !key_) {
        return false;
    }
    key_(*mailKey);
    return true;
}

std::optional<MailActions::CurrentMail> MailActions::currentMail() {
    const std::optional<int> row = mailList_.currentMailRow();
    const MailListRow* mail = row ? mailList_.model().mailAt(*row) : nullptr;
    if (mail == nullptr) {
        // The command table refuses the header row before a key gets here.
        announcer_.show_message(kNoMailSelected);
        announcer_.speak(kNoMailSelected);
        return std::nullopt;
    }
    return CurrentMail{*row, mail->id};
}

void MailActions::speak_long_text(const QString& text) {
    for (const QString& piece : longTextPieces(text)) {
        announcer_.speak(piece);
    }
}

void MailActions::readMail() {
    const std::optional<CurrentMail> mail = currentMail();
    if (!mail) {
        return;
    }
    // Reading starts at once, over whatever was still being said; ENTER
    // again after Ctrl reads the mail again from its start.
    announcer_.silence();
    announcer_.speak(mailList_.cellText(mail->row, 2));
    const std::optional<MailBody> stored = store_.mailBody(mail->id);
    if (!stored) {
        announcer_.report_error(QStringLiteral("このメールはメールストアにありません"));
        return;
    }
    speak_long_text(stored->body);
    widgets_.bodytext->setPlainText(stored->body);
    if (isVoiceAttachment(stored->attach)) {
        hooks_.sleep(4);
        playVoice(stored->attach);
    }
    store_.markRead(mail->id);
    mailList_.markRowRead(mail->row);
    mailList_.setCurrentCell(mail->row, 1);
}

void MailActions::playVoice(const QString& path) {
    const Expected<void> played = hooks_.playVoice(path);
    if (played) {
        return;
    }
    const Failure& failure = played.failure();
    // Only a file we cannot decode is offered to the desktop: a missing file
    // or something that is not a file is not.
    if (failure.kind == FailureKind::BadInput && QFileInfo(path).isFile() &&
        hooks_.openWithDesktop) {
        announcer_.speak(
            QStringLiteral("音声の添付ファイルを再生できないため、ほかのプログラムで開きます"));
        if (hooks_.openWithDesktop(QFileInfo(path).absoluteFilePath())) {
            return;
        }
    }
    announcer_.report_error(QStringLiteral("音声の添付ファイルを再生できません：") +
                            failure.reason);
}

void MailActions::storeSender() {
    const std::optional<CurrentMail> mail = currentMail();
    if (!mail) {
        return;
    }
    mailList_.setCurrentCell(mail->row, 1);
    const SenderEntry entry = senderEntry(mailList_.model().mailAt(mail->row)->mailfrom);
    if (entry.address.isEmpty()) {
        const QString noAddress = QStringLiteral("送信者のアドレスがありません");
        announcer_.show_message(noAddress);
        announcer_.speak(noAddress);
        return;
    }
    store_.addAddress(entry.name, entry.address);
    if (hooks_.addressBookChanged) {
        hooks_.addressBookChanged();
    }
    announcer_.speak(QStringLiteral("アドレス帳に登録しました"));
}

void MailActions::deleteMail() {
    const std::optional<CurrentMail> mail = currentMail();
    if (!mail) {
        return;
    }
    store_.deleteMail(mail->id);
    if (state_.move_mode && state_.move_mail_id == mail->id) {
        state_.move_mode = false;
    }
    mailList_.removeMailRow(mail->row);
    mailList_.setCurrentCell(std::min(mail->row, mailList_.model().rowCount() - 1), 1);
    announcer_.speak(QStringLiteral("メールを削除しました"));
}

void MailActions::startMove() {
    const std::optional<CurrentMail> mail = currentMail();
    if (!mail) {
        return;
    }
    state_.move_mode = true;
    state_.move_mail_id = mail->id;
    if (hooks_.showFolderList) {
        hooks_.showFolderList();
    }
}

}  // namespace orvane::mailer
