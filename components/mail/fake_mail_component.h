#pragma once

#include "mail_component.h"

#include <QList>


namespace orvane::mail {

// A scripted mail component for tests: answers from queues filled by the
// test and records every call. An empty queue answers with a failure
// (sendMail: with success).
class FakeMailComponent : public MailComponent {
  public:
    struct Call {
        QString method;
        QStringList args;
    };

    QList<Expected<QStringList>> rcvAnswers;
    QList<Expected<ReceivedMail>> readAnswers;
    QList<Expected<void>> sendAnswers;
    QList<Call> calls;
    QList<int> sleeps;
    bool realSleep = false;

    Expected<QStringList> rcvMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir) override;
    Expected<ReceivedMail> readMail(const QString& file, const QString& mailDir) override;
    Expected<void> sendMail(const QString& server, const QString& to, const QString& from,
                            const QString& subject, const QString& body, const QString& attachment,
                            const SmtpLogin& login) override;
    void sleep(int seconds) override;
};

}  // namespace orvane::mail
