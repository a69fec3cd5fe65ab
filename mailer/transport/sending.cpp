#include "sending.h"

#include "announcer.h"
#include "mail_component.h"
#include "mailer_state.h"

#include <QDir>
#include <QFile>

namespace orvane::mailer {

Sending::Sending(Announcer& announcer, MailerState& state, mail::MailComponent& component)
    : announcer_(announcer), state_(state), component_(component) {}

QString Sending::voiceFilePath() const {
    return QDir(state_.programFolder).filePath(state_.voice_file_base + QStringLiteral(".mp3"));
}

void Sending::confirm_msg(const ComposedMail& mail) {
    if (mail.to.isEmpty()) {
        announcer_.speak(QStringLiteral("送信先が入力されていません"));
        return;
    }
    announcer_.speak(QStringLiteral("作成したメールの確認"));
    announcer_.speak(QStringLiteral("送信先") + mail.to);
    announcer_.speak(QStringLiteral("件名") + mail.subject);
    announcer_.speak(QStringLiteral("本文") + mail.body);
}

void Sending::send_msg(const ComposedMail& mail) {
    if (mail.to.isEmpty()) {
        return;
    }
    announcer_.speak(QStringLiteral("メールを送信します"));
    const auto failed = [this](const QString& reason) {
        const QString text = QStringLiteral("メールを送信できませんでした：") + reason;
        announcer_.show_message(text);
        announcer_.speak(text);
    };

    const AccountRow* current = state_.currentAccount();
    if (current == nullptr) {
        failed(QStringLiteral("送信に使うアカウントが設定されていません"));
        return;
    }
    const AccountFields& account = current->fields;
    // Servers that take a POP login as leave to send see one first; what the
    // mailbox holds is not needed, and a failure here shows in the send.
    if (!account.pop.isEmpty()) {
        (void)component_.rcvMail(account.pop, account.account, account.password,
                                 QStringLiteral("LIST"), state_.mail_dir);
    }

    QString attachment;
    QString leadIn;
    if (state_.voice_attached) {
        attachment = voiceFilePath();
        if (!QFile::exists(attachment)) {
            // Nothing to keep: the next ESC sends without a voice.
            state_.voice_attached = false;
            failed(
                QStringLiteral("録音した音声ファイルが見つかりません。もう一度録音するか、"
                               "ESCで音声なしで送信してください"));
            return;
        }
        leadIn = QStringLiteral("音声添付ファイル付きで");
    }

    const Expected<void> sent =
        component_.sendMail(account.smtp, mail.to, account.email, mail.subject, mail.body,
                            attachment, mail::SmtpLogin{account.account, account.password});
    if (!sent) {
        failed(sent.failure().reason);
        return;
    }
    const QString text =
        leadIn + QStringLiteral("メールを") + mail.to + QStringLiteral("へ送信しました");
    announcer_.speak(text);
    announcer_.show_message(text);
    if (!attachment.isEmpty()) {
        QFile::remove(attachment);
    }
    state_.voice_attached = false;
}

}  // namespace orvane::mailer
