#include "polling.h"

#include "announcer.h"
#include "checker_voice.h"

#include <QFile>
#include <QtConcurrent/QtConcurrentRun>

namespace orvane::mailcheck {
namespace {

const QString kFromSubject = QStringLiteral("from:subject:");

// The voice attachment: the first file whose name ends in ".mp3" exactly;
// a name that merely contains it ("x.mp3.exe") is no voice.
QString voiceAttachment(const QStringList& attachments) {
    for (const QString& path : attachments) {
        if (path.endsWith(QLatin1String(".mp3"), Qt::CaseSensitive)) {
            return path;
        }
    }
    return {};
}

}  // namespace

Polling::Polling(mail::MailComponent& mail, CheckerVoice& voice, Announcer& announcer,
                 QString mailDir, PollingOptions options)
    : mail_(mail),
      voice_(voice),
      announcer_(announcer),
      mailDir_(std::move(mailDir)),
      options_(std::move(options)) {
    connect(&fetch_, &QFutureWatcher<Fetched>::finished, this,
            [this] { onFetched(fetch_.result()); });
    clipWatch_.setInterval(options_.queueCheckInterval);
    connect(&clipWatch_, &QTimer::timeout, this, &Polling::waitForClip);
}

Polling::~Polling() {
    fetch_.waitForFinished();
}

void Polling::setLogin(const PopLogin& login) {
    if (login_ != login) {
        troubleReported_ = false;
    }
    login_ = login;
}

void Polling::Timer1_Timer() {
    ++tickCount_;
    emit tickCountChanged(tickCount_);
    if (!login_ || tickCount_ < tickLimit_ || running_) {
        return;
    }
    check_mail();
    tickCount_ = 0;
}

void Polling::check_mail() {
    if (running_) {
        return;
    }
    if (!login_) {
        announcer_.notify(QStringLiteral("設定が保存されていないので、メールを確認できません"));
        return;
    }
    running_ = true;
    mail::MailComponent* mail = &mail_;
    fetch_.setFuture(QtConcurrent::run([mail, login = *login_, dir = mailDir_] {
        Fetched fetched;
        fetched.saved =
            mail->rcvMail(login.pop, login.account, login.password, QStringLiteral("SAVEALL"), dir);
        if (fetched.saved && !fetched.saved->isEmpty()) {
            fetched.first = mail->readMail(fetched.saved->first(), dir);
        }
        return fetched;
    }));
}

void Polling::onFetched(const Fetched& fetched) {
    if (!fetched.saved) {
        reportTrouble(fetched.saved.failure());
        finish();
        return;
    }
    if (troubleReported_) {
        troubleReported_ = false;
        announcer_.notify(QStringLiteral("メールを確認できるようになりました"));
    }
    savedFiles_ = fetched.saved.value();
    if (savedFiles_.isEmpty()) {
        voice_.hide();
        finish();
        return;
    }
    voice_.show();
    voice_.speak(QString::fromUtf8(kArrived));
    const Expected<mail::ReceivedMail>& first = *fetched.first;
    if (!first) {
        announcer_.say(first.failure().reason);
        afterPause();
        return;
    }
    const QStringList elements = mail::readMailElements(*first, kFromSubject);
    QString text = elements.value(0) + elements.value(1);
    if (savedFiles_.size() > 1) {
        text += QStringLiteral("、ほか%1通").arg(savedFiles_.size() - 1);
    }
    voice_.speak(text);
    attachments_ = first->attachments;
    clip_ = voiceAttachment(attachments_);
    if (clip_.isEmpty()) {
        afterPause();
        return;
    }
    QTimer::singleShot(options_.pauseBeforeClip, this, &Polling::afterPause);
}

void Polling::reportTrouble(const Failure& failure) {
    if (troubleReported_) {
        voice_.hide();
        return;
    }
    troubleReported_ = true;
    announcer_.notify(QStringLiteral("メールを確認できません：") + failure.reason);
}

void Polling::afterPause() {
    const ClipHandling clip = clip_.isEmpty() ? ClipHandling::None : mp3(clip_);
    voice_.hide();
    // Copies only: the mail stays on the server for the mailer.
    for (const QString& file : savedFiles_) {
        mail::removeSavedMail(file, mailDir_);
    }
    for (const QString& attachment : attachments_) {
        if (clip == ClipHandling::None || attachment != clip_) {
            QFile::remove(attachment);
        }
    }
    if (clip == ClipHandling::Played) {
        clipQueuedAt_ = std::chrono::steady_clock::now();
        clipWatch_.start();
        return;
    }
    finish();
}

Polling::ClipHandling Polling::mp3(const QString& path) {
    if (path.isEmpty() || !path.endsWith(QLatin1String(".mp3"), Qt::CaseSensitive)) {
        return ClipHandling::None;
    }
    const Expected<void> played = voice_.playMp3(path);
    if (played) {
        return ClipHandling::Played;
    }
    // A clip we cannot decode may still be something the desktop can open.
    if (options_.openExternally && options_.openExternally(path)) {
        return ClipHandling::HandedOut;
    }
    announcer_.say(QStringLiteral("音声の添付ファイルを再生できません：") +
                   played.failure().reason);
    return ClipHandling::None;
}

void Polling::waitForClip() {
    const bool overdue =
        std::chrono::steady_clock::now() - clipQueuedAt_ > options_.longestClipWait;
    if (!voice_.idle() && !overdue) {
        return;
    }
    clipWatch_.stop();
    QFile::remove(clip_);
    finish();
}

void Polling::finish() {
    savedFiles_.clear();
    attachments_.clear();
    clip_.clear();
    running_ = false;
    emit passFinished();
}

}  // namespace orvane::mailcheck
