#include "server_address.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

TEST(ServerAddress, ReadsEveryFormOfServerText) {
    struct Row {
        const char* name;
        const char* text;
        MailProtocol protocol;
        const char* host;
        quint16 port;
        bool tls;
        bool plainAllowed;  // only where the account names the plain scheme
    };
    const Row rows[] = {
        {"bare host", "pop.example.jp", MailProtocol::Pop3, "pop.example.jp", 110, false, false},
        {"host and port", "pop.example.jp:1110", MailProtocol::Pop3, "pop.example.jp", 1110, false,
         false},
        {"port 995 means TLS", "pop.example.jp:995", MailProtocol::Pop3, "pop.example.jp", 995,
         true, false},
        {"pop3 scheme", "pop3://127.0.0.1:2110", MailProtocol::Pop3, "127.0.0.1", 2110, false,
         true},
        {"pop3s scheme default port", "POP3S://mail.example.jp/", MailProtocol::Pop3,
         "mail.example.jp", 995, true, false},
        {"blanks around", "  pop.example.jp  ", MailProtocol::Pop3, "pop.example.jp", 110, false,
         false},
        {"ipv6 with port", "[::1]:2110", MailProtocol::Pop3, "::1", 2110, false, false},
        {"smtp bare host", "smtp.example.jp", MailProtocol::Smtp, "smtp.example.jp", 25, false,
         false},
        {"smtp port 465 means TLS", "smtp.example.jp:465", MailProtocol::Smtp, "smtp.example.jp",
         465, true, false},
        {"submission port", "smtp://smtp.example.jp:587", MailProtocol::Smtp, "smtp.example.jp",
         587, false, true},
        {"smtps scheme", "smtps://smtp.example.jp", MailProtocol::Smtp, "smtp.example.jp", 465,
         true, false},
        {"plain scheme on the implicit TLS port", "pop3://pop.example.jp:995", MailProtocol::Pop3,
         "pop.example.jp", 995, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto address = parseServerAddress(QString::fromUtf8(row.text), row.protocol);
        ASSERT_TRUE(address.ok()) << address.failure().reason.toStdString();
        EXPECT_EQ(address->host, QString::fromUtf8(row.host));
        EXPECT_EQ(address->port, row.port);
        EXPECT_EQ(address->implicitTls, row.tls);
        EXPECT_EQ(address->plainAllowed, row.plainAllowed);
    }
}

TEST(ServerAddress, RefusesMalformedText) {
    for (const char* text :
         {"", "   ", "pop.example.jp:0", "pop.example.jp:70000", "pop.example.jp:abc",
          "smtp://pop.example.jp", "http://x", "user@pop.example.jp", "[::1", "a b"}) {
        SCOPED_TRACE(text);
        const auto address = parseServerAddress(QString::fromUtf8(text), MailProtocol::Pop3);
        ASSERT_FALSE(address.ok());
        EXPECT_EQ(address.failure().kind, FailureKind::BadInput);
        EXPECT_TRUE(address.failure().reason.contains(QStringLiteral("受信サーバー")))
            << address.failure().reason.toStdString();
    }
}

}  // namespace
}  // namespace orvane::mail
