// SendMail's transport against the aiosmtpd sink on 127.0.0.1.
#include "smtp_sender.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using testing::SmtpSinkServer;
using namespace test;

const QByteArray kMessage =
    "From: taro@example.jp\r\nTo: hanako@example.jp\r\nSubject: hello\r\n\r\n"
    ".a line that starts with a dot\r\nbye\r\n";

// A sink with TLS and AUTH, one without either, and one that offers STARTTLS
// but declines it; fresh for each test.
class SmtpSender : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificate().ok()) << certificate().error().toStdString();
        for (SmtpSinkServer* server : {&tls, &noAuth, &noStartTls}) {
            ASSERT_TRUE(server->start()) << server->error().toStdString();
        }
    }

    SmtpSinkServer tls{{certificate().certFile(), certificate().keyFile(), true}};
    SmtpSinkServer noAuth{{{}, {}, false}};
    SmtpSinkServer noStartTls{{certificate().certFile(), certificate().keyFile(), true, true}};
    const SmtpLogin login{SmtpSinkServer::user(), SmtpSinkServer::password()};
};

TEST_F(SmtpSender, SendsOverEveryKindOfConnection) {
    struct Row {
        const char* name;
        SmtpSinkServer* server;
        QString address;
        SmtpLogin login;
        bool expectTls;
    };
    const Row rows[] = {
        {"STARTTLS then AUTH", &tls, loopback(tls.port()), login, true},
        {"implicit TLS then AUTH", &tls, loopback(tls.smtpsPort(), "smtps://"), login, true},
        {"plain without login", &noAuth, loopback(noAuth.port(), "smtp://"), {}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qsizetype before = row.server->captured().size();
        const Status status = sendSmtp({row.address,
                                        row.login,
                                        QStringLiteral("Taro <taro@example.jp>"),
                                        {QStringLiteral("hanako@example.jp")},
                                        kMessage},
                                       quickOptions());
        ASSERT_FALSE(status) << status->reason.toStdString();
        const auto captured = row.server->captured();
        ASSERT_EQ(captured.size(), before + 1);
        const auto& mail = captured.last();
        EXPECT_EQ(mail.message, kMessage);
        EXPECT_EQ(mail.envelope.value("mail_from").toString(), QStringLiteral("taro@example.jp"));
        EXPECT_EQ(mail.envelope.value("rcpt_tos").toArray().first().toString(),
                  QStringLiteral("hanako@example.jp"));
        EXPECT_EQ(mail.envelope.value("tls").toBool(), row.expectTls);
        EXPECT_EQ(mail.envelope.value("login").toString(), row.login.user);
    }
}

TEST_F(SmtpSender, RefusalsAndFailuresAreReportedAndNothingIsSent) {
    const QString tlsAddress = loopback(tls.port());

    struct Row {
        const char* name;
        QString address;
        SmtpLogin login;
        QString to;
        bool trust;
        FailureKind kind;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"login given, no AUTH offered", loopback(noAuth.port()), login,
         QStringLiteral("hanako@example.jp"), true, FailureKind::Refused, "AUTH"},
        {"wrong password",
         tlsAddress,
         {SmtpSinkServer::user(), QStringLiteral("wrong")},
         QStringLiteral("hanako@example.jp"),
         true,
         FailureKind::Login,
         "ログインできません"},
        {"recipient refused", tlsAddress, login, QStringLiteral("reject@example.jp"), true,
         FailureKind::Refused, "550 5.1.1 No such user here"},
        {"STARTTLS certificate does not verify", tlsAddress, login,
         QStringLiteral("hanako@example.jp"), false, FailureKind::Tls, "安全に接続できません"},
        {"implicit TLS certificate does not verify", loopback(tls.smtpsPort(), "smtps://"), login,
         QStringLiteral("hanako@example.jp"), false, FailureKind::Tls, "安全に接続できません"},
        {"STARTTLS offered, then declined", loopback(noStartTls.port()), login,
         QStringLiteral("hanako@example.jp"), true, FailureKind::Tls, "暗号化を受け付けなかった"},
        {"no server", loopback(testing::freeLoopbackPort()), login,
         QStringLiteral("hanako@example.jp"), true, FailureKind::Unreachable, "接続できません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Status status = sendSmtp(
            {row.address, row.login, QStringLiteral("taro@example.jp"), {row.to}, kMessage},
            quickOptions(row.trust));
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->kind, row.kind) << status->reason.toStdString();
        EXPECT_TRUE(status->reason.contains(QString::fromUtf8(row.reasonPart)))
            << status->reason.toStdString();
    }
    EXPECT_TRUE(tls.captured().isEmpty());
    EXPECT_TRUE(noAuth.captured().isEmpty());
    EXPECT_TRUE(noStartTls.captured().isEmpty());
    // That server offered AUTH in plain text after declining STARTTLS: the
    // password must not have gone out unencrypted.
    EXPECT_TRUE(noStartTls.loginAttempts().isEmpty())
        << noStartTls.loginAttempts().join(", ").toStdString();
}

TEST(SmtpAddresses, RecipientFieldsBecomeBareAddresses) {
    EXPECT_EQ(
        recipientAddresses(
            QStringLiteral("\"Yamada, Taro\" <taro@example.jp>; hanako@example.jp,")),
        (QStringList{QStringLiteral("taro@example.jp"), QStringLiteral("hanako@example.jp")}));
    EXPECT_EQ(bareAddress(QStringLiteral(" 山田 <yamada@example.jp> ")),
              QStringLiteral("yamada@example.jp"));
}

}  // namespace
}  // namespace orvane::mail
