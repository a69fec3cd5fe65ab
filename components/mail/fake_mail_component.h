#pragma once

#include "mail_component.h"

#include <QList>

#include <deque>
#include <functional>

namespace orvane::mail {

// A scripted mail component for tests: answers from queues filled by the
// test and records every call.
class FakeMailComponent : public MailComponent {
public:
    struct Call {
        QString method;
        QStringList args;
    };

    std::deque<ArrayResult> rcvAnswers;
    std::deque<ArrayResult> readAnswers;
    std::deque<QString> sendAnswers;
    QList<Call> calls;
    QList<int> sleeps;
    bool realSleep = false;

    ArrayResult rcvMail(const QString& server, const QString& user, const QString& password,
                        const QString& command, const QString& mailDir) override;
    ArrayResult readMail(const QString& file, const QString& names,
                         const QString& mailDir) override;
    QString sendMail(const QString& server, const QString& to, const QString& from,
                     const QString& subject, const QString& body, const QString& attachment,
                     const SmtpLogin& login) override;
    void sleep(int seconds) override;
};

}  // namespace orvane::mail
