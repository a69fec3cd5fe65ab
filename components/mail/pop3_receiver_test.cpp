// RcvMail against a real Dovecot POP3 server on 127.0.0.1.
#include "pop3_receiver.h"
#include "pop3_session.h"

#include "dovecot_server.h"
#include "test_certificate.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using testing::DovecotServer;
using testing::TestCertificate;

const TestCertificate& certificate() {
    static const TestCertificate cert;
    return cert;
}

TransportOptions trusting() {
    TransportOptions options;
    options.extraCaFiles << certificate().certFile();
    options.connectTimeout = std::chrono::seconds(5);
    options.idleTimeout = std::chrono::seconds(5);
    return options;
}

QByteArray sampleMail(int n) {
    return "From: sender@example.jp\nTo: testuser@example.jp\nSubject: test " +
           QByteArray::number(n) + "\n\nline one of mail " + QByteArray::number(n) +
           "\n.a line that starts with a dot\n";
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

QByteArray withoutCr(QByteArray bytes) {
    return bytes.replace("\r\n", "\n");
}

QStringList mailFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

std::unique_ptr<DovecotServer> startDovecot(bool tls) {
    DovecotServer::Options options;
    if (tls) {
        options.certFile = certificate().certFile();
        options.keyFile = certificate().keyFile();
    }
    auto server = std::make_unique<DovecotServer>(options);
    if (!server->start()) {
        ADD_FAILURE() << server->error().toStdString();
        return nullptr;
    }
    return server;
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
        {"plain (server without TLS)", false, false, false},
        {"STLS offered and used", true, false, true},
        {"implicit TLS", true, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto server = startDovecot(row.tlsServer);
        ASSERT_TRUE(server);
        const QString address =
            row.implicitTls ? QStringLiteral("pop3s://127.0.0.1:%1").arg(server->pop3sPort())
                            : QStringLiteral("127.0.0.1:%1").arg(server->pop3Port());
        for (int n = 1; n <= 3; ++n) {
            ASSERT_TRUE(server->deliver(sampleMail(n)));
        }

        Pop3Session session(trusting());
        ASSERT_FALSE(session.connectToServer(*parseServerAddress(address, MailProtocol::Pop3)));
        EXPECT_EQ(session.isEncrypted(), row.expectEncrypted);
        EXPECT_TRUE(session.usesPipelining());
        ASSERT_FALSE(session.login(DovecotServer::user(), DovecotServer::password()));
        ASSERT_FALSE(session.quit());

        const ArrayResult stat =
            receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                        QStringLiteral("STAT"), {}, trusting());
        ASSERT_TRUE(stat.isArray()) << stat.error.toStdString();
        ASSERT_EQ(stat.array->size(), 1);
        EXPECT_TRUE(stat.array->at(0).startsWith(QStringLiteral("3 ")));

        const ArrayResult list =
            receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                        QStringLiteral("LIST"), {}, trusting());
        ASSERT_TRUE(list.isArray()) << list.error.toStdString();
        EXPECT_EQ(list.array->size(), 4);

        QTemporaryDir dir;
        const QString mailDir = dir.filePath(QStringLiteral("mail"));
        const ArrayResult saved =
            receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                        QStringLiteral("SAVEALLD"), mailDir, trusting());
        ASSERT_TRUE(saved.isArray()) << saved.error.toStdString();
        ASSERT_EQ(saved.array->size(), 4);
        EXPECT_EQ(saved.array->at(0), stat.array->at(0));
        for (int n = 1; n <= 3; ++n) {
            EXPECT_EQ(withoutCr(readFile(saved.array->at(n))), sampleMail(n));
            EXPECT_EQ(QFileInfo(saved.array->at(n)).absolutePath(), QDir(mailDir).absolutePath());
        }
        EXPECT_EQ(mailFiles(mailDir).size(), 3);  // nothing else, no temporary files
        EXPECT_EQ(server->messageCount(), 0);

        const ArrayResult empty =
            receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                        QStringLiteral("STAT"), {}, trusting());
        ASSERT_TRUE(empty.isArray());
        EXPECT_EQ(empty.array->value(0), QStringLiteral("0 0"));
        const ArrayResult none =
            receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                        QStringLiteral("SAVEALLD"), mailDir, trusting());
        ASSERT_TRUE(none.isArray());
        EXPECT_EQ(*none.array, QStringList{QStringLiteral("0 0")});
    }
}

TEST(Pop3Receiver, CheckerSavesOnlyNewMailAndLeavesItOnTheServer) {
    auto server = startDovecot(false);
    ASSERT_TRUE(server);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(server->pop3Port());
    QTemporaryDir dir;
    auto saveAll = [&] {
        return receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                           QStringLiteral("SAVEALL"), dir.path(), trusting());
    };

    ASSERT_TRUE(server->deliver(sampleMail(1)));
    ASSERT_TRUE(server->deliver(sampleMail(2)));
    const ArrayResult first = saveAll();
    ASSERT_TRUE(first.isArray()) << first.error.toStdString();
    ASSERT_EQ(first.array->size(), 2);
    EXPECT_EQ(withoutCr(readFile(first.array->at(0))), sampleMail(1));
    EXPECT_EQ(server->messageCount(), 2);

    const ArrayResult again = saveAll();
    EXPECT_FALSE(again.isArray());
    EXPECT_FALSE(again.error.isEmpty());

    ASSERT_TRUE(server->deliver(sampleMail(3)));
    const ArrayResult third = saveAll();
    ASSERT_TRUE(third.isArray()) << third.error.toStdString();
    ASSERT_EQ(third.array->size(), 1);
    EXPECT_EQ(withoutCr(readFile(third.array->at(0))), sampleMail(3));
    EXPECT_EQ(server->messageCount(), 3);

    // The mailer still receives all three.
    QTemporaryDir mailerDir;
    const ArrayResult mailer =
        receiveMail(address, DovecotServer::user(), DovecotServer::password(),
                    QStringLiteral("SAVEALLD"), mailerDir.path(), trusting());
    ASSERT_TRUE(mailer.isArray());
    EXPECT_EQ(mailer.array->size(), 4);
}

TEST(Pop3Receiver, LargeMailArrivesWhole) {
    auto server = startDovecot(false);
    ASSERT_TRUE(server);
    QByteArray attachment(20 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < attachment.size(); ++i) {
        attachment[i] = static_cast<char>((i * 7919) >> 3);
    }
    const QByteArray mail =
        "Subject: big\nMIME-Version: 1.0\nContent-Type: multipart/mixed; boundary=b\n\n--b\n"
        "Content-Type: application/octet-stream\nContent-Transfer-Encoding: base64\n\n" +
        attachment.toBase64(QByteArray::Base64Encoding) + "\n--b--\n";
    ASSERT_TRUE(server->deliver(mail));
    QTemporaryDir dir;
    const ArrayResult saved =
        receiveMail(QStringLiteral("127.0.0.1:%1").arg(server->pop3Port()), DovecotServer::user(),
                    DovecotServer::password(), QStringLiteral("SAVEALLD"), dir.path(), trusting());
    ASSERT_TRUE(saved.isArray()) << saved.error.toStdString();
    ASSERT_EQ(saved.array->size(), 2);
    EXPECT_TRUE(withoutCr(readFile(saved.array->at(1))) == mail);
    EXPECT_EQ(server->messageCount(), 0);
}

TEST(Pop3Receiver, FailuresGiveTheirReason) {
    ASSERT_TRUE(certificate().ok());
    auto plain = startDovecot(false);
    auto tls = startDovecot(true);
    ASSERT_TRUE(plain && tls);
    ASSERT_TRUE(tls->deliver(sampleMail(1)));
    TransportOptions untrusting;  // the system's store only
    untrusting.connectTimeout = std::chrono::seconds(5);
    untrusting.idleTimeout = std::chrono::seconds(5);

    struct Row {
        const char* name;
        QString server;
        QString password;
        TransportOptions options;
        FailureKind kind;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"wrong password", QStringLiteral("127.0.0.1:%1").arg(plain->pop3Port()),
         QStringLiteral("wrong"), trusting(), FailureKind::Login, "ログイン"},
        {"no server", QStringLiteral("127.0.0.1:%1").arg(testing::freeLoopbackPort()),
         DovecotServer::password(), trusting(), FailureKind::Unreachable, "接続できません"},
        {"STLS certificate does not verify", QStringLiteral("127.0.0.1:%1").arg(tls->pop3Port()),
         DovecotServer::password(), untrusting, FailureKind::Tls, "安全に接続できません"},
        {"implicit TLS certificate does not verify",
         QStringLiteral("pop3s://127.0.0.1:%1").arg(tls->pop3sPort()), DovecotServer::password(),
         untrusting, FailureKind::Tls, "安全に接続できません"},
        {"TLS spoken to a plain port",
         QStringLiteral("pop3s://127.0.0.1:%1").arg(plain->pop3Port()), DovecotServer::password(),
         trusting(), FailureKind::Tls, "安全に接続できません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pop3Session session(row.options);
        Status status =
            session.connectToServer(*parseServerAddress(row.server, MailProtocol::Pop3));
        if (!status) {
            status = session.login(DovecotServer::user(), row.password);
        }
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->kind, row.kind) << status->reason.toStdString();
        EXPECT_TRUE(status->reason.contains(QString::fromUtf8(row.reasonPart)))
            << status->reason.toStdString();

        QTemporaryDir dir;
        const ArrayResult result = receiveMail(row.server, DovecotServer::user(), row.password,
                                               QStringLiteral("SAVEALLD"), dir.path(), row.options);
        EXPECT_FALSE(result.isArray());
        EXPECT_EQ(result.error, status->reason);
        EXPECT_TRUE(mailFiles(dir.path()).isEmpty());
    }
    EXPECT_EQ(tls->messageCount(), 1);
    EXPECT_FALSE(tls->log().contains(QStringLiteral("Login: user=<testuser>")));
}

}  // namespace
}  // namespace orvane::mail
