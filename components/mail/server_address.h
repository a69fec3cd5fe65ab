#pragma once

#include <QString>

#include <optional>

namespace orvane::mail {

enum class MailProtocol { Pop3, Smtp };

// Where a server is and whether TLS starts with the connection.
struct ServerAddress {
    QString host;
    quint16 port = 0;
    bool implicitTls = false;

    // "host:port" as people write it ("[::1]:110" for IPv6).
    QString display() const;
};

// Reads a server text as an account holds it: "host", "host:port",
// "pop3://host[:port]", "pop3s://host[:port]" (for SMTP "smtp://" and
// "smtps://"). Ports 995 (POP3) and 465 (SMTP) mean TLS from the start.
// Returns nullopt for an empty or malformed text.
std::optional<ServerAddress> parseServerAddress(const QString& text, MailProtocol protocol);

}  // namespace orvane::mail
