#pragma once

#include "mail_component.h"
#include "transport_options.h"

#include <memory>

namespace orvane::mail {

// The real mail component: POP3 of our own, SMTP through libcurl, MIME
// through the mime library. One object serves both contracts:
//  - the mailer's: rcvMail with "STAT", "SAVEALLD" and "LIST", readMail with
//    "subject:from:date:body", sendMail;
//  - the checker's: rcvMail with "SAVEALL" (new mail only, left on the server;
//    element 0 is the path of a saved file) and readMail with "from:subject:".
// Saved mail files are reported as full paths; readMail takes those as well
// as bare names inside mailDir. Every failure comes with a Japanese reason.
class MailClient : public MailComponent {
  public:
    explicit MailClient(TransportOptions options = TransportOptions::fromEnvironment());

    ArrayResult rcvMail(const QString& server, const QString& user, const QString& password,
                        const QString& command, const QString& mailDir) override;
    ArrayResult readMail(const QString& file, const QString& names,
                         const QString& mailDir) override;
    QString sendMail(const QString& server, const QString& to, const QString& from,
                     const QString& subject, const QString& body, const QString& attachment,
                     const SmtpLogin& login) override;

    const TransportOptions& options() const { return options_; }

  private:
    TransportOptions options_;
};

// The component for the mailer and the checker, trusting the system's
// certificates (and ORVANE_EXTRA_CA's, when set).
std::unique_ptr<MailComponent> createMailComponent();

}  // namespace orvane::mail
