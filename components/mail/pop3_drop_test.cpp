// RcvMail against a scripted POP3 server that fails on purpose.
#include "pop3_receiver.h"
#include "transport_test_support.h"

#include "fake_pop3_server.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using testing::FakePop3Server;
using namespace test;

Expected<QStringList> receive(const FakePop3Server& server, const char* command,
                              const QString& dir) {
    return receiveMail(server.address(), QStringLiteral("u"), QStringLiteral("secret"),
                       QString::fromLatin1(command), dir,
                       quickOptions(false, std::chrono::milliseconds(700)));
}

// The mailer (SAVEALLD) and the checker (SAVEALL, which keeps mail on the
// server and remembers what it saved) after a connection that failed mid-RETR.
TEST(Pop3Drop, ConnectionLostInTheMiddleOfARetrLosesNothing) {
    struct Row {
        const char* name;
        const char* command;
        bool pipelining;
        bool stall;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"dropped, pipelined", "SAVEALLD", true, false, "切れました"},
        {"dropped, one command at a time", "SAVEALLD", false, false, "切れました"},
        {"server falls silent", "SAVEALLD", true, true, "時間切れ"},
        {"checker remembers nothing from the cut pass", "SAVEALL", true, false, "切れました"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool checker = QByteArray(row.command) == "SAVEALL";
        FakePop3Server::Script script;
        script.messages = numberedMails(5);
        script.pipelining = row.pipelining;
        script.dropDuringRetrOf = 3;
        script.dropAfterBytes = 1500;
        script.stallInsteadOfDrop = row.stall;
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;

        const Expected<QStringList> cut = receive(server, row.command, dir.path());
        ASSERT_FALSE(cut.ok());
        EXPECT_TRUE(cut.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << cut.failure().reason.toStdString();
        // Every mail is still on the server, and nothing is left in the folder
        // under any name, finished or not.
        EXPECT_EQ(server.mailbox().size(), 5);
        EXPECT_TRUE(allFiles(dir.path()).isEmpty());

        const Expected<QStringList> whole = receive(server, row.command, dir.path());
        ASSERT_TRUE(whole.ok()) << whole.failure().reason.toStdString();
        const int first = checker ? 0 : 1;  // SAVEALLD starts with the STAT figures
        ASSERT_EQ(whole->size(), first + 5);
        for (int n = 1; n <= 5; ++n) {
            EXPECT_EQ(readFile(whole->at(first + n - 1)), script.messages[n - 1]);
        }
        EXPECT_EQ(server.mailbox().size(), checker ? 5 : 0);
        if (checker) {
            const Expected<QStringList> again = receive(server, row.command, dir.path());
            ASSERT_TRUE(again.ok()) << again.failure().reason.toStdString();
            EXPECT_TRUE(again->isEmpty());  // nothing new
        }
    }
}

TEST(Pop3Drop, AMailTheServerWillNotHandOutStaysAndTheRestArrive) {
    for (bool pipelining : {true, false}) {
        SCOPED_TRACE(pipelining ? "pipelined" : "one command at a time");
        FakePop3Server::Script script;
        script.messages = numberedMails(3);
        script.pipelining = pipelining;
        script.refuseRetrOf = 2;
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;
        const Expected<QStringList> result = receive(server, "SAVEALLD", dir.path());
        ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
        ASSERT_EQ(result->size(), 3);
        EXPECT_EQ(readFile(result->at(1)), script.messages[0]);
        EXPECT_EQ(readFile(result->at(2)), script.messages[2]);
        EXPECT_EQ(server.mailbox(), QList<QByteArray>{script.messages[1]});

        // Alone, the refused mail is a failure with the server's words.
        script.messages = numberedMails(1);
        script.refuseRetrOf = 1;
        FakePop3Server single(script);
        ASSERT_TRUE(single.start());
        const Expected<QStringList> alone = receive(single, "SAVEALLD", dir.path());
        ASSERT_FALSE(alone.ok());
        EXPECT_EQ(alone.failure().kind, FailureKind::Refused);
        EXPECT_TRUE(alone.failure().reason.contains(QStringLiteral("cannot be read")))
            << alone.failure().reason.toStdString();
        EXPECT_EQ(single.mailbox().size(), 1);
    }
}

TEST(Pop3Drop, DeletesOnlyAfterEachMailIsStoredAndPipelinesWhenOffered) {
    FakePop3Server::Script script;
    script.messages = numberedMails(3);
    FakePop3Server server(script);
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    const Expected<QStringList> result = receive(server, "SAVEALLD", dir.path());
    ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
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

}  // namespace
}  // namespace orvane::mail
