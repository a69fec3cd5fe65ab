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
    QString from;        // the sender's address ("name <address>" allowed)
    QStringList to;      // the recipients' addresses
    QByteArray message;  // the whole message, CRLF line endings
};

// Sends through libcurl. TLS from the start on port 465 or "smtps://";
// otherwise STARTTLS is used whenever the server offers it, and a server that
// offers it but cannot complete it is refused. With a user name given the
// client logs in and refuses to send when the server offers no AUTH.
// Certificates are verified against the system store plus the options'
// extra CAs. Success only when the server accepted the message.
Status sendSmtp(const SmtpEnvelope& envelope, const TransportOptions& options);

// The bare address inside "display name <address>" (the text itself when
// there are no angle brackets), trimmed.
QString bareAddress(const QString& text);

// Splits a recipient field at "," and ";" into bare addresses.
QStringList recipientAddresses(const QString& field);

}  // namespace orvane::mail
