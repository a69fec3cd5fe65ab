// RcvMail against a real Dovecot POP3 server on 127.0.0.1.
#include "pop3_receiver.h"
#include "pop3_session.h"
#include "transport_test_support.h"

#include "dovecot_server.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using testing::DovecotServer;
using namespace test;

std::unique_ptr<DovecotServer> startDovecot(bool tls) {
    DovecotServer::Options options;
    if (tls) {
        options = {certificate().certFile(), certificate().keyFile()};
    }
    auto server = std::make_unique<DovecotServer>(options);
    if (!server->start()) {
        ADD_FAILURE() << server->error().toStdString();
        return nullptr;
    }
    return server;
}

Expected<QStringList> receive(const QString& address, const char* command, const QString& dir = {},
                              const QString& password = DovecotServer::password(),
                              const TransportOptions& options = quickOptions()) {
    return receiveMail(address, DovecotServer::user(), password, QString::fromLatin1(command), dir,
                       options);
}

TEST(Pop3Receiver, StatSaveAllDeleteInEveryConnectionMode) {
    ASSERT_TRUE(certificate().ok()) << certificate().error().toStdString();
    struct Row {
        const char* name;
        bool tlsServer;
        bool implicitTls;
        bool expectEncrypted;
    };
    const Row rows[] = {
        {"plain (server without TLS, named pop3://)", false, false, false},
        {"STLS offered and used", true, false, true},
        {"implicit TLS", true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto server = startDovecot(row.tlsServer);
        ASSERT_TRUE(server);
        const QString address = row.implicitTls ? loopback(server->pop3sPort(), "pop3s://")
                                : row.tlsServer ? loopback(server->pop3Port())
                                                : loopback(server->pop3Port(), "pop3://");
        const QList<QByteArray> mails = numberedMails(3, 5);
        for (const QByteArray& mail : mails) {
            ASSERT_TRUE(server->deliver(mail));
        }

        Pop3Session session(quickOptions());
        ASSERT_TRUE(session.connectToServer(*parseServerAddress(address, MailProtocol::Pop3)).ok());
        EXPECT_EQ(session.isEncrypted(), row.expectEncrypted);
        EXPECT_TRUE(session.usesPipelining());
        ASSERT_TRUE(session.login(DovecotServer::user(), DovecotServer::password()).ok());
        ASSERT_TRUE(session.quit().ok());

        const Expected<QStringList> stat = receive(address, "STAT");
        ASSERT_TRUE(stat.ok()) << stat.failure().reason.toStdString();
        ASSERT_EQ(stat->size(), 1);
        EXPECT_TRUE(stat->at(0).startsWith(QStringLiteral("3 ")));
        const Expected<QStringList> list = receive(address, "LIST");
        ASSERT_TRUE(list.ok()) << list.failure().reason.toStdString();
        EXPECT_EQ(list->size(), 4);

        QTemporaryDir dir;
        const QString mailDir = dir.filePath(QStringLiteral("mail"));
        const Expected<QStringList> saved = receive(address, "SAVEALLD", mailDir);
        ASSERT_TRUE(saved.ok()) << saved.failure().reason.toStdString();
        ASSERT_EQ(saved->size(), 4);
        EXPECT_EQ(saved->at(0), stat->at(0));
        for (int n = 1; n <= 3; ++n) {
            EXPECT_EQ(readFile(saved->at(n)), mails[n - 1]);
            EXPECT_EQ(QFileInfo(saved->at(n)).absolutePath(), QDir(mailDir).absolutePath());
        }
        EXPECT_EQ(allFiles(mailDir).size(), 3);  // nothing else, no temporary files
        EXPECT_EQ(server->messageCount(), 0);

        const Expected<QStringList> none = receive(address, "SAVEALLD", mailDir);
        ASSERT_TRUE(none.ok());
        EXPECT_EQ(*none, QStringList{QStringLiteral("0 0")});
    }
}

TEST(Pop3Receiver, CheckerSavesOnlyNewMailAndLeavesItOnTheServer) {
    auto server = startDovecot(false);
    ASSERT_TRUE(server);
    const QString address = loopback(server->pop3Port(), "pop3://");
    QTemporaryDir dir;

    const QList<QByteArray> mails = numberedMails(3, 5);
    ASSERT_TRUE(server->deliver(mails[0]));
    ASSERT_TRUE(server->deliver(mails[1]));
    const Expected<QStringList> first = receive(address, "SAVEALL", dir.path());
    ASSERT_TRUE(first.ok()) << first.failure().reason.toStdString();
    ASSERT_EQ(first->size(), 2);
    EXPECT_EQ(readFile(first->at(0)), mails[0]);
    EXPECT_EQ(server->messageCount(), 2);

    // Nothing new is success with no files.
    const Expected<QStringList> again = receive(address, "SAVEALL", dir.path());
    ASSERT_TRUE(again.ok()) << again.failure().reason.toStdString();
    EXPECT_TRUE(again->isEmpty());

    ASSERT_TRUE(server->deliver(mails[2]));
    const Expected<QStringList> third = receive(address, "SAVEALL", dir.path());
    ASSERT_TRUE(third.ok()) << third.failure().reason.toStdString();
    ASSERT_EQ(third->size(), 1);
    EXPECT_EQ(readFile(third->at(0)), mails[2]);
    EXPECT_EQ(server->messageCount(), 3);

    // The mailer still receives all three.
    QTemporaryDir mailerDir;
    const Expected<QStringList> mailer = receive(address, "SAVEALLD", mailerDir.path());
    ASSERT_TRUE(mailer.ok());
    EXPECT_EQ(mailer->size(), 4);
}

// Streamed through many reads and writes.
TEST(Pop3Receiver, TwentyMegabyteMailArrivesWhole) {
    auto server = startDovecot(false);
    ASSERT_TRUE(server);
    const QByteArray mail = numberedMails(1, 800000).first();
    ASSERT_TRUE(server->deliver(mail));
    QTemporaryDir dir;
    const Expected<QStringList> saved =
        receive(loopback(server->pop3Port(), "pop3://"), "SAVEALLD", dir.path());
    ASSERT_TRUE(saved.ok()) << saved.failure().reason.toStdString();
    ASSERT_EQ(saved->size(), 2);
    EXPECT_TRUE(readFile(saved->at(1)) == mail);
    EXPECT_EQ(server->messageCount(), 0);
}

TEST(Pop3Receiver, FailuresGiveTheirReason) {
    ASSERT_TRUE(certificate().ok());
    auto plain = startDovecot(false);
    auto tls = startDovecot(true);
    ASSERT_TRUE(plain && tls);
    ASSERT_TRUE(tls->deliver(numberedMails(1).first()));
    const TransportOptions untrusting = quickOptions(false);  // the system's store only
    const QString password = DovecotServer::password();

    struct Row {
        const char* name;
        QString server;
        QString password;
        TransportOptions options;
        FailureKind kind;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"wrong password", loopback(plain->pop3Port(), "pop3://"), QStringLiteral("wrong"),
         quickOptions(), FailureKind::Login, "ログイン"},
        {"no server", loopback(testing::freeLoopbackPort()), password, quickOptions(),
         FailureKind::Unreachable, "接続できません"},
        {"server without TLS, account requires it", loopback(plain->pop3Port()), password,
         quickOptions(), FailureKind::Tls, "pop3://127.0.0.1"},
        {"STLS certificate does not verify", loopback(tls->pop3Port()), password, untrusting,
         FailureKind::Tls, "安全に接続できません"},
        {"implicit TLS certificate does not verify", loopback(tls->pop3sPort(), "pop3s://"),
         password, untrusting, FailureKind::Tls, "安全に接続できません"},
        {"TLS spoken to a plain port", loopback(plain->pop3Port(), "pop3s://"), password,
         quickOptions(), FailureKind::Tls, "安全に接続できません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const Expected<QStringList> result =
            receive(row.server, "SAVEALLD", dir.path(), row.password, row.options);
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.failure().kind, row.kind) << result.failure().reason.toStdString();
        EXPECT_TRUE(result.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << result.failure().reason.toStdString();
        EXPECT_TRUE(allFiles(dir.path()).isEmpty());
    }
    EXPECT_EQ(tls->messageCount(), 1);
    EXPECT_FALSE(tls->log().contains(QStringLiteral("Login: user=<testuser>")));
    EXPECT_FALSE(plain->log().contains(QStringLiteral("Login: user=<testuser>")));
}

}  // namespace
}  // namespace orvane::mail
