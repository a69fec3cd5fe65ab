#pragma once

#include "transport_result.h"

#include <QString>

namespace orvane::mail {

enum class MailProtocol { Pop3, Smtp };

// Where a server is and whether TLS starts with the connection.
struct ServerAddress {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;
    // The account names the plain scheme ("pop3://", "smtp://"): the user
    // accepts a connection without encryption. STLS/STARTTLS is still used
    // whenever the server offers it. Otherwise every connection is encrypted,
    // from the start or through STLS/STARTTLS, or nothing is sent.
    bool plainAllowed = false;

    // "host:port" as people write it ("[::1]:110" for IPv6).
    QString display() const;
};

// Reads a server text as an account holds it: "host", "host:port",
// "pop3://host[:port]", "pop3s://host[:port]" (for SMTP "smtp://" and
// "smtps://"). Ports 995 (POP3) and 465 (SMTP) mean TLS from the start.
// An empty or malformed text is BadInput with a Japanese reason.
Expected<ServerAddress> parseServerAddress(const QString& text, MailProtocol protocol);

}  // namespace orvane::mail
