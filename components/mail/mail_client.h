#pragma once

#include "mail_component.h"
#include "transport_options.h"

#include <memory>

namespace orvane::mail {

// The real mail component: POP3 of our own, SMTP through libcurl, MIME
// through the mime library. One object serves the mailer and the checker.
class MailClient : public MailComponent {
  public:
    explicit MailClient(TransportOptions options = TransportOptions::fromEnvironment());

    Expected<QStringList> rcvMail(const QString& server, const QString& user,
                                  const QString& password, const QString& command,
                                  const QString& mailDir) override;
    Expected<ReceivedMail> readMail(const QString& file, const QString& mailDir) override;
    Expected<void> sendMail(const QString& server, const QString& to, const QString& from,
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
