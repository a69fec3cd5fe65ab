#include "reply.h"

#include "announcer.h"
#include "compose_fields.h"

namespace orvane::mailer {

QString replyAddress(const QString& sender) {
    const qsizetype open = sender.indexOf(QLatin1Char('<'));
    const qsizetype close = sender.indexOf(QLatin1Char('>'));
    if (open >= 0 && close > open) {
        return sender.mid(open + 1, close - open - 1).trimmed();
    }
    return sender.trimmed();
}

Reply::Reply(Announcer& announcer, ComposeFields& compose, CurrentMail currentMail)
    : announcer_(announcer), compose_(compose), currentMail_(std::move(currentMail)) {}

void Reply::msg_replay_Click() {
    const std::optional<ListedMail> mail = currentMail_();
    if (!mail) {
        announcer_.show_message(kNoMailSelected);
        announcer_.speak(kNoMailSelected);
        return;
    }
    compose_.fill(replyAddress(mail->sender), QStringLiteral("Re: ") + mail->subject);
    announcer_.speak(QStringLiteral("[返信]メール：アドレスと件名を自動入力しました"));
    compose_.enterBody();
}

}  // namespace orvane::mailer
