#include "fake_mail_component.h"

namespace orvane::mail {

namespace {
Failure unprepared() {
    return Failure{FailureKind::Internal, QStringLiteral("応答が用意されていません")};
}

// The next scripted answer; a failure once the script has run out.
template <typename T>
T next(QList<T>& answers) {
    return answers.isEmpty() ? T(unprepared()) : answers.takeFirst();
}

}  // namespace

Expected<QStringList> FakeMailComponent::rcvMail(const QString& server, const QString& user,
                                                 const QString& password, const QString& command,
                                                 const QString& mailDir) {
    calls.append({"RcvMail", {server, user, password, command, mailDir}});
    return next(rcvAnswers);
}

Expected<ReceivedMail> FakeMailComponent::readMail(const QString& file, const QString& mailDir) {
    calls.append({"ReadMail", {file, mailDir}});
    return next(readAnswers);
}

Expected<void> FakeMailComponent::sendMail(const QString& server, const QString& to,
                                           const QString& from, const QString& subject,
                                           const QString& body, const QString& attachment,
                                           const SmtpLogin& login) {
    calls.append({"SendMail", {server, to, from, subject, body, attachment, login.user}});
    return sendAnswers.isEmpty() ? success() : next(sendAnswers);
}

void FakeMailComponent::sleep(int seconds) {
    sleeps.append(seconds);
    if (realSleep) {
        MailComponent::sleep(seconds);
    }
}

}  // namespace orvane::mail
