#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace orvane::mail {

// The answer of RcvMail and ReadMail: an array of texts, or "not an array"
// together with the reason, in Japanese, fit to be spoken.
struct ArrayResult {
    std::optional<QStringList> array;
    QString error;

    bool isArray() const { return array.has_value(); }
    static ArrayResult ok(QStringList elements) { return {std::move(elements), {}}; }
    static ArrayResult failed(QString reason) { return {std::nullopt, std::move(reason)}; }
};

// The login that SendMail uses where the server offers AUTH.
struct SmtpLogin {
    QString user;
    QString password;
};

// The mailer's mail component. Every call is synchronous.
class MailComponent {
public:
    virtual ~MailComponent() = default;

    // command: "STAT", "SAVEALLD" or "LIST".
    virtual ArrayResult rcvMail(const QString& server, const QString& user,
                                const QString& password, const QString& command,
                                const QString& mailDir) = 0;
    // names: for example "subject:from:date:body".
    virtual ArrayResult readMail(const QString& file, const QString& names,
                                 const QString& mailDir) = 0;
    // Returns "" when the server accepted the mail, otherwise the reason.
    virtual QString sendMail(const QString& server, const QString& to, const QString& from,
                             const QString& subject, const QString& body,
                             const QString& attachment, const SmtpLogin& login) = 0;
    // Waits `seconds`: queued speech goes on and windows repaint, while user
    // input waits in the queue until the pause is over.
    virtual void sleep(int seconds);
};

}  // namespace orvane::mail
