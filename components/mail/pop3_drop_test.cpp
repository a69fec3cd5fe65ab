// RcvMail against a scripted POP3 server that fails on purpose.
#include "pop3_receiver.h"

#include "fake_pop3_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using testing::FakePop3Server;

QList<QByteArray> mailbox(int count) {
    QList<QByteArray> messages;
    for (int n = 1; n <= count; ++n) {
        QByteArray body;
        for (int line = 0; line < 200; ++line) {
            body +=
                "line " + QByteArray::number(line) + " of mail " + QByteArray::number(n) + "\r\n";
        }
        messages << "Subject: mail " + QByteArray::number(n) + "\r\n\r\n..dot line\r\n" + body;
    }
    return messages;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

TransportOptions quickOptions() {
    TransportOptions options;
    options.connectTimeout = std::chrono::seconds(5);
    options.idleTimeout = std::chrono::milliseconds(700);
    return options;
}

TEST(Pop3Drop, ConnectionLostInTheMiddleOfARetrLosesNothing) {
    struct Row {
        const char* name;
        bool pipelining;
        bool stall;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"dropped, pipelined", true, false, "切れました"},
        {"dropped, one command at a time", false, false, "切れました"},
        {"server falls silent", true, true, "応答がありません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server::Script script;
        script.messages = mailbox(5);
        script.pipelining = row.pipelining;
        script.dropDuringRetrOf = 3;
        script.dropAfterBytes = 1500;
        script.stallInsteadOfDrop = row.stall;
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;

        const ArrayResult cut =
            receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                        QStringLiteral("SAVEALLD"), dir.path(), quickOptions());
        ASSERT_FALSE(cut.isArray());
        EXPECT_TRUE(cut.error.contains(QString::fromUtf8(row.reasonPart)))
            << cut.error.toStdString();
        // Every mail is still on the server, and nothing is left in the folder
        // under any name, finished or not.
        EXPECT_EQ(server.mailbox().size(), 5);
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());

        const ArrayResult whole =
            receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                        QStringLiteral("SAVEALLD"), dir.path(), quickOptions());
        ASSERT_TRUE(whole.isArray()) << whole.error.toStdString();
        ASSERT_EQ(whole.array->size(), 6);
        for (int n = 1; n <= 5; ++n) {
            EXPECT_EQ(readFile(whole.array->at(n)), script.messages[n - 1]);
        }
        EXPECT_TRUE(server.mailbox().isEmpty());
    }
}

TEST(Pop3Drop, CheckerRemembersNothingFromAnInterruptedPass) {
    FakePop3Server::Script script;
    script.messages = mailbox(4);
    script.dropDuringRetrOf = 2;
    script.dropAfterBytes = 800;
    FakePop3Server server(script);
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    auto saveAll = [&] {
        return receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                           QStringLiteral("SAVEALL"), dir.path(), quickOptions());
    };
    ASSERT_FALSE(saveAll().isArray());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    const ArrayResult whole = saveAll();
    ASSERT_TRUE(whole.isArray()) << whole.error.toStdString();
    ASSERT_EQ(whole.array->size(), 4);
    EXPECT_EQ(readFile(whole.array->at(0)), script.messages[0]);
    EXPECT_EQ(server.mailbox().size(), 4);
    EXPECT_FALSE(saveAll().isArray());
}

TEST(Pop3Drop, AMailTheServerWillNotHandOutStaysAndTheRestArrive) {
    for (bool pipelining : {true, false}) {
        SCOPED_TRACE(pipelining ? "pipelined" : "one command at a time");
        FakePop3Server::Script script;
        script.messages = mailbox(3);
        script.pipelining = pipelining;
        script.refuseRetrOf = 2;
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;
        const ArrayResult result =
            receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                        QStringLiteral("SAVEALLD"), dir.path(), quickOptions());
        ASSERT_TRUE(result.isArray()) << result.error.toStdString();
        ASSERT_EQ(result.array->size(), 3);
        EXPECT_EQ(readFile(result.array->at(1)), script.messages[0]);
        EXPECT_EQ(readFile(result.array->at(2)), script.messages[2]);
        EXPECT_EQ(server.mailbox(), QList<QByteArray>{script.messages[1]});

        // Alone, the refused mail is a failure with the server's words.
        script.messages = mailbox(1);
        script.refuseRetrOf = 1;
        FakePop3Server single(script);
        ASSERT_TRUE(single.start());
        const ArrayResult alone =
            receiveMail(single.address(), QStringLiteral("u"), QStringLiteral("secret"),
                        QStringLiteral("SAVEALLD"), dir.path(), quickOptions());
        EXPECT_FALSE(alone.isArray());
        EXPECT_TRUE(alone.error.contains(QStringLiteral("cannot be read")))
            << alone.error.toStdString();
        EXPECT_EQ(single.mailbox().size(), 1);
    }
}

TEST(Pop3Drop, DeletesOnlyAfterEachMailIsStoredAndPipelinesWhenOffered) {
    FakePop3Server::Script script;
    script.messages = mailbox(3);
    FakePop3Server server(script);
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    const ArrayResult result =
        receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                    QStringLiteral("SAVEALLD"), dir.path(), quickOptions());
    ASSERT_TRUE(result.isArray()) << result.error.toStdString();
    QList<QByteArray> mailboxCommands;
    for (const QByteArray& command : server.commands()) {
        if (command.startsWith("RETR") || command.startsWith("DELE") || command == "QUIT") {
            mailboxCommands << command;
        }
    }
    // All RETRs go out at once; each DELE follows its own RETR.
    const QList<QByteArray> expected{"RETR 1", "RETR 2", "RETR 3", "DELE 1",
                                     "DELE 2", "DELE 3", "QUIT"};
    EXPECT_EQ(mailboxCommands, expected);
}

TEST(Pop3Drop, RefusedLoginIsReported) {
    FakePop3Server::Script script;
    script.messages = mailbox(1);
    FakePop3Server server(script);
    ASSERT_TRUE(server.start());
    const ArrayResult result =
        receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("wrong"),
                    QStringLiteral("STAT"), {}, quickOptions());
    ASSERT_FALSE(result.isArray());
    EXPECT_TRUE(result.error.contains(QStringLiteral("wrong password")))
        << result.error.toStdString();
}

}  // namespace
}  // namespace orvane::mail
