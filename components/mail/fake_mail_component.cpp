#include "fake_mail_component.h"

namespace orvane::mail {

namespace {
template <typename T>
T next(std::deque<T>& answers, T fallback) {
    if (answers.empty()) {
        return fallback;
    }
    fallback = answers.front();
    answers.pop_front();
    return fallback;
}
}  // namespace

ArrayResult FakeMailComponent::rcvMail(const QString& server, const QString& user,
                                       const QString& password, const QString& command,
                                       const QString& mailDir) {
    calls.append({"RcvMail", {server, user, password, command, mailDir}});
    return next(rcvAnswers, ArrayResult::failed(QStringLiteral("応答が用意されていません")));
}

ArrayResult FakeMailComponent::readMail(const QString& file, const QString& names,
                                        const QString& mailDir) {
    calls.append({"ReadMail", {file, names, mailDir}});
    return next(readAnswers, ArrayResult::failed(QStringLiteral("応答が用意されていません")));
}

QString FakeMailComponent::sendMail(const QString& server, const QString& to,
                                    const QString& from, const QString& subject,
                                    const QString& body, const QString& attachment,
                                    const SmtpLogin& login) {
    calls.append({"SendMail", {server, to, from, subject, body, attachment, login.user}});
    return next(sendAnswers, QString());
}

void FakeMailComponent::sleep(int seconds) {
    sleeps.append(seconds);
    if (realSleep) {
        MailComponent::sleep(seconds);
    }
}

}  // namespace orvane::mail
