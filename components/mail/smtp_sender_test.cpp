// SendMail's transport against the aiosmtpd sink on 127.0.0.1.
#include "smtp_sender.h"
#include "mail_client.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"

#include <QElapsedTimer>
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
        {"plain scheme still takes STARTTLS", &tls, loopback(tls.port(), "smtp://"), login, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qsizetype before = row.server->captured().size();
        const Expected<void> sent = sendSmtp({row.address,
                                              row.login,
                                              QStringLiteral("taro@example.jp"),
                                              {QStringLiteral("hanako@example.jp")},
                                              kMessage},
                                             quickOptions());
        ASSERT_TRUE(sent.ok()) << sent.failure().reason.toStdString();
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
    SmtpSinkServer noTls{{{}, {}, true}};  // offers AUTH, never STARTTLS
    SmtpSinkServer trickle{{{}, {}, false, false, 20}};
    for (SmtpSinkServer* server : {&noTls, &trickle}) {
        ASSERT_TRUE(server->start()) << server->error().toStdString();
    }
    const TransportOptions trusting = quickOptions();
    const TransportOptions untrusting = quickOptions(false);
    TransportOptions impatient = quickOptions();
    impatient.operationBaseTime = std::chrono::seconds(1);
    const QString tlsAddress = loopback(tls.port());
    const QString hanako = QStringLiteral("hanako@example.jp");
    const SmtpLogin wrongPassword{SmtpSinkServer::user(), QStringLiteral("wrong")};
    const QByteArray noTlsName = loopback(noTls.port(), "smtp://").toUtf8();

    struct Row {
        const char* name;
        QString address;
        SmtpLogin login;
        QString to;
        TransportOptions options;
        FailureKind kind;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"login given, no AUTH offered", loopback(noAuth.port(), "smtp://"), login, hanako,
         trusting, FailureKind::Refused, "AUTH"},
        {"wrong password", tlsAddress, wrongPassword, hanako, trusting, FailureKind::Login,
         "ログインできません"},
        {"recipient refused", tlsAddress, login, QStringLiteral("reject@example.jp"), trusting,
         FailureKind::Refused, "550 5.1.1 No such user here"},
        {"STARTTLS certificate does not verify", tlsAddress, login, hanako, untrusting,
         FailureKind::Tls, "安全に接続できません"},
        {"implicit TLS certificate does not verify", loopback(tls.smtpsPort(), "smtps://"), login,
         hanako, untrusting, FailureKind::Tls, "安全に接続できません"},
        {"STARTTLS offered, then declined", loopback(noStartTls.port()), login, hanako, trusting,
         FailureKind::Tls, "暗号化を受け付けなかった"},
        {"no STARTTLS where the account requires TLS", loopback(noTls.port()), login, hanako,
         trusting, FailureKind::Tls, noTlsName.constData()},
        {"one byte at a time",
         loopback(trickle.port(), "smtp://"),
         {},
         hanako,
         impatient,
         FailureKind::Timeout,
         "時間切れ"},
        {"no server", loopback(testing::freeLoopbackPort()), login, hanako, trusting,
         FailureKind::Unreachable, "接続できません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QElapsedTimer timer;
        timer.start();
        const Expected<void> sent = sendSmtp(
            {row.address, row.login, QStringLiteral("taro@example.jp"), {row.to}, kMessage},
            row.options);
        ASSERT_FALSE(sent.ok());
        EXPECT_EQ(sent.failure().kind, row.kind) << sent.failure().reason.toStdString();
        EXPECT_TRUE(sent.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << sent.failure().reason.toStdString();
        EXPECT_LT(timer.elapsed(), 30000);  // the slowest limit is a second or so; generous
    }
    for (const SmtpSinkServer* server : {&tls, &noAuth, &noStartTls, &noTls, &trickle}) {
        EXPECT_TRUE(server->captured().isEmpty());
    }
    // Two servers offered AUTH in plain text: the password never went out
    // unencrypted, nor did the mail.
    EXPECT_TRUE(noStartTls.loginAttempts().isEmpty())
        << noStartTls.loginAttempts().join(", ").toStdString();
    EXPECT_TRUE(noTls.loginAttempts().isEmpty());
    const QByteArray received = noTls.received();
    const QByteArray password = SmtpSinkServer::password().toUtf8();
    for (const QByteArray& secret :
         {password,
          (QByteArray(1, '\0') + SmtpSinkServer::user().toUtf8() + '\0' + password).toBase64(),
          password.toBase64(), QByteArray("AUTH"), QByteArray("MAIL FROM")}) {
        EXPECT_FALSE(received.contains(secret)) << received.toStdString();
    }
}

// Through the component: the addresses are checked before anything goes out,
// and the To header names exactly the envelope's recipients.
TEST_F(SmtpSender, AddressesAreCheckedAndTheHeaderMatchesTheEnvelope) {
    MailClient client(quickOptions());
    const QString server = loopback(noAuth.port(), "smtp://");
    struct Row {
        const char* name;
        QString to;
        QString from;
    };
    const Row rows[] = {
        {"ESMTP parameter smuggled into RCPT TO", QStringLiteral("a@b.com> SIZE=1"),
         QStringLiteral("taro@example.jp")},
        {"ESMTP parameter smuggled into MAIL FROM", QStringLiteral("hanako@example.jp"),
         QStringLiteral("taro@example.jp> SIZE=1")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Expected<void> sent = client.sendMail(server, row.to, row.from, QStringLiteral("s"),
                                                    QStringLiteral("b"), {}, {});
        ASSERT_FALSE(sent.ok());
        EXPECT_EQ(sent.failure().kind, FailureKind::BadInput)
            << sent.failure().reason.toStdString();
        EXPECT_TRUE(
            sent.failure().reason.contains(QStringLiteral("メールアドレスとして正しくありません")))
            << sent.failure().reason.toStdString();
    }
    EXPECT_TRUE(noAuth.received().isEmpty()) << noAuth.received().toStdString();

    const Expected<void> sent = client.sendMail(
        server, QStringLiteral("\"Yamada, Taro\" <taro@example.jp>; 花子 <hanako@example.jp>"),
        QStringLiteral("Jiro <jiro@example.jp>"), QStringLiteral("s"), QStringLiteral("b"), {}, {});
    ASSERT_TRUE(sent.ok()) << sent.failure().reason.toStdString();
    const auto captured = noAuth.captured();
    ASSERT_EQ(captured.size(), 1);
    const auto& mail = captured.first();
    EXPECT_EQ(mail.envelope.value("mail_from").toString(), QStringLiteral("jiro@example.jp"));
    EXPECT_EQ(mail.envelope.value("rcpt_tos").toVariant().toStringList(),
              (QStringList{"taro@example.jp", "hanako@example.jp"}));
    // The To header, unfolded: both mailboxes, the quoted comma kept inside its name.
    const QByteArray head = mail.message.left(mail.message.indexOf("\r\n\r\n"))
                                .replace("\r\n ", " ")
                                .replace("\r\n\t", " ");
    const qsizetype toAt = head.indexOf("\nTo: ");
    const QByteArray to = head.mid(toAt, head.indexOf('\n', toAt + 1) - toAt);
    EXPECT_TRUE(to.contains("<taro@example.jp>")) << to.toStdString();
    EXPECT_TRUE(to.contains("<hanako@example.jp>")) << to.toStdString();
    EXPECT_TRUE(to.contains("\"Yamada, Taro\"")) << to.toStdString();
}

}  // namespace
}  // namespace orvane::mail
