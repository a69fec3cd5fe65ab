#pragma once

#include "mail_component.h"
#include "transport_options.h"
#include "transport_result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orvane::mail {

// One message to hand to an SMTP server.
struct SmtpEnvelope {
    QString server;      // "host", "host:port", "smtp://..." or "smtps://..."
    SmtpLogin login;     // empty user: send without logging in
    QString from;        // the sender's bare address
    QStringList to;      // the recipients' bare addresses
    QByteArray message;  // the whole message, CRLF line endings
};

// Sends through libcurl. TLS from the start on port 465 or "smtps://";
// otherwise STARTTLS, which the server must offer and complete unless the
// server is written "smtp://..." (then STARTTLS is still used whenever it is
// offered, and a server that offers it but cannot complete it is refused).
// With a user name given the client logs in and refuses to send when the
// server offers no AUTH. Certificates are verified against the system store
// plus the options' extra CAs. Addresses are checked before connecting. The
// whole exchange has one time limit (TransportOptions::timeAllowedFor the
// message). Success only when the server accepted the message.
Expected<void> sendSmtp(const SmtpEnvelope& envelope, const TransportOptions& options);

}  // namespace orvane::mail
