// RcvMail through the component against a scripted POP3 server that drops,
// refuses, floods, lies or stalls; and what the saved files look like on disk.
#include "mail_client.h"
#include "transport_test_support.h"

#include "fake_pop3_server.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <algorithm>

namespace orvane::mail {
namespace {

using testing::FakePop3Server;
using namespace test;

FakePop3Server::Script mailbox(int count, int lines = 200) {
    FakePop3Server::Script script;
    script.messages = numberedMails(count, lines);
    return script;
}

Expected<QStringList> receive(
    const QString& server, const char* command, const QString& dir,
    const TransportOptions& options = quickOptions(false, std::chrono::milliseconds(700))) {
    MailClient client(options);
    return client.rcvMail(server, QStringLiteral("u"), QStringLiteral("secret"),
                          QString::fromLatin1(command), dir);
}

// The files a pass saved: SAVEALLD answers the STAT figures first.
QStringList savedFiles(const QStringList& result, const char* command) {
    return QByteArray(command) == "SAVEALLD" ? result.mid(1) : result;
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
               ? static_cast<int>(info.st_mode & 07777)
               : -1;
}

// Two passes over a mailbox whose first pass goes wrong, for the mailer
// (SAVEALLD) and the checker (SAVEALL, which keeps mail on the server and
// remembers what it saved). A connection cut mid-RETR leaves nothing behind;
// a mail the server will not hand out holds up none of the others, also not
// those since the last batch was made durable when it is the last of the
// pass. Across the passes every mail arrives once, in order.
TEST(Pop3HostileServer, APassThatGoesWrongLosesNothing) {
    struct Row {
        const char* name;
        const char* command;
        int count;
        bool pipelining;
        int refused;             // RETR of this mail is refused in the first pass
        int cutIn;               // the first pass ends in the middle of this mail
        bool stall;              // by falling silent instead
        const char* reasonPart;  // of the first pass's failure; none: it succeeds
    };
    const Row rows[] = {
        {"cut, pipelined", "SAVEALLD", 5, true, 0, 3, false, "切れました"},
        {"cut, one command at a time", "SAVEALLD", 5, false, 0, 3, false, "切れました"},
        {"server falls silent", "SAVEALLD", 5, true, 0, 3, true, "時間切れ"},
        {"checker remembers nothing from the cut pass", "SAVEALL", 5, true, 0, 3, false,
         "切れました"},
        {"second of 3 refused, pipelined", "SAVEALLD", 3, true, 2, 0, false, nullptr},
        {"second of 3 refused, one command at a time", "SAVEALLD", 3, false, 2, 0, false, nullptr},
        {"last of 3 refused", "SAVEALLD", 3, true, 3, 0, false, nullptr},
        {"last of 40 refused (past one batch)", "SAVEALLD", 40, true, 40, 0, false, nullptr},
        {"checker, last of 3 refused", "SAVEALL", 3, true, 3, 0, false, nullptr},
        {"checker, last of 40 refused", "SAVEALL", 40, true, 40, 0, false, nullptr},
    };
    const auto contents = [](const QStringList& files) {
        QList<QByteArray> bytes;
        for (const QString& file : files) {
            bytes << readFile(file);
        }
        return bytes;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool checker = QByteArray(row.command) == "SAVEALL";
        FakePop3Server::Script script = mailbox(row.count);
        script.pipelining = row.pipelining;
        if (row.refused > 0) {
            script.refuseRetrOf = row.refused;
        }
        if (row.cutIn > 0) {
            script.dropDuringRetrOf = row.cutIn;
            script.dropAfterBytes = 1500;
            script.stallInsteadOfDrop = row.stall;
        }
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;
        QList<QByteArray> first = script.messages;  // what each pass should save
        QList<QByteArray> second;
        if (row.reasonPart) {
            std::swap(first, second);
        } else {
            second << first.takeAt(row.refused - 1);
        }

        const Expected<QStringList> result = receive(server.address(), row.command, dir.path());
        if (row.reasonPart) {
            ASSERT_FALSE(result.ok());
            EXPECT_TRUE(result.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
                << result.failure().reason.toStdString();
        } else {
            ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
            EXPECT_EQ(contents(savedFiles(*result, row.command)), first);
        }
        // Nothing else in the folder under any name, finished or not, but the
        // checker's record of what it saved.
        EXPECT_EQ(allFiles(dir.path()).size(), first.size() + (checker && !first.isEmpty()));
        EXPECT_EQ(server.mailbox(), checker ? script.messages : second);

        server.setRefusedRetr(std::nullopt);
        for (const QList<QByteArray>& expected : {second, QList<QByteArray>{}}) {
            const Expected<QStringList> next = receive(server.address(), row.command, dir.path());
            ASSERT_TRUE(next.ok()) << next.failure().reason.toStdString();
            EXPECT_EQ(contents(savedFiles(*next, row.command)), expected);
        }
        EXPECT_EQ(server.mailbox(), checker ? script.messages : QList<QByteArray>{});
    }
}

TEST(Pop3HostileServer, DeletesOnlyAfterEachMailIsStoredAndPipelinesWhenOffered) {
    FakePop3Server server(mailbox(3));
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;
    ASSERT_TRUE(receive(server.address(), "SAVEALLD", dir.path()).ok());
    QList<QByteArray> commands = server.commands();
    commands.removeIf([](const QByteArray& command) {
        return !command.startsWith("RETR") && !command.startsWith("DELE") && command != "QUIT";
    });
    // All RETRs go out at once; each DELE follows its own RETR.
    EXPECT_EQ(commands, (QList<QByteArray>{"RETR 1", "RETR 2", "RETR 3", "DELE 1", "DELE 2",
                                           "DELE 3", "QUIT"}));
}

// A pass that cannot be completed, because the server floods, lies, stalls
// or refuses, or because the disk is full, fails with a reason, soon, and
// leaves every mail on the server and nothing in the folder.
TEST(Pop3HostileServer, AFailedPassSaysWhyAndLosesNoMail) {
    struct Row {
        const char* name;
        FakePop3Server::Script script;
        bool requireTls;  // the account names the bare address
        const char* command;
        FailureKind kind;
        const char* reasonPart;
        bool diskFull = false;  // the file size limit stands in for it
    };
    FakePop3Server::Script endlessCapa;
    endlessCapa.endlessReplyTo = "CAPA";
    FakePop3Server::Script endlessUidl = mailbox(1);
    endlessUidl.endlessReplyTo = "UIDL";
    FakePop3Server::Script threeBillion;
    threeBillion.statClaim = "3000000000 1000";
    FakePop3Server::Script pastInt;
    pastInt.statClaim = "2147483649 1000";
    FakePop3Server::Script trickle = mailbox(1, 4);
    trickle.trickle = std::chrono::milliseconds(20);
    FakePop3Server::Script refusedOnlyMail = mailbox(1);
    refusedOnlyMail.refuseRetrOf = 1;
    const Row rows[] = {
        {"CAPA without end", endlessCapa, false, "STAT", FailureKind::Protocol, "CAPA"},
        {"UIDL without end", endlessUidl, false, "SAVEALL", FailureKind::Protocol, "UIDL"},
        {"STAT claims three billion mails", threeBillion, false, "SAVEALLD", FailureKind::Protocol,
         "3000000000"},
        {"STAT count past 2^31", pastInt, false, "SAVEALLD", FailureKind::Protocol, "2147483649"},
        {"one byte at a time", trickle, false, "SAVEALLD", FailureKind::Timeout, "時間切れ"},
        {"no STLS where the account requires TLS", mailbox(1), true, "SAVEALLD", FailureKind::Tls,
         "pop3://127.0.0.1:"},
        {"the only mail refused, in the server's words", refusedOnlyMail, false, "SAVEALLD",
         FailureKind::Refused, "cannot be read"},
        {"disk full", mailbox(3, 3000), false, "SAVEALLD", FailureKind::Disk,
         "ファイルが大きすぎます", true},
    };
    TransportOptions options = quickOptions(false, std::chrono::seconds(2));
    options.operationBaseTime = std::chrono::seconds(1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server server(row.script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;
        QElapsedTimer timer;
        timer.start();
        std::optional<FileSizeLimit> limit;
        if (row.diskFull) {
            limit.emplace(16 * 1024);
        }
        const Expected<QStringList> result =
            receive(row.requireTls ? server.bareAddress() : server.address(), row.command,
                    dir.path(), options);
        limit.reset();
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.failure().kind, row.kind) << result.failure().reason.toStdString();
        EXPECT_TRUE(result.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << result.failure().reason.toStdString();
        EXPECT_LT(timer.elapsed(), 30000);  // the limit is about a second; generous
        EXPECT_TRUE(allFiles(dir.path()).isEmpty());
        EXPECT_EQ(server.mailbox(), row.script.messages);
        if (row.requireTls) {
            // Not even the user name went out.
            const QList<QByteArray> commands = server.commands();
            EXPECT_FALSE(std::any_of(commands.begin(), commands.end(), [](const QByteArray& c) {
                return c.startsWith("USER") || c.startsWith("PASS") || c.startsWith("AUTH");
            })) << commands.join(' ').toStdString();
        }
    }
}

// Mail is private: the folder (also one that was there before) and every file
// the component writes in it are the user's alone.
TEST(Pop3SavedFiles, AreForTheUserAlone) {
    const mode_t previousMask = ::umask(022);
    for (const char* command : {"SAVEALLD", "SAVEALL"}) {
        for (bool folderExists : {false, true}) {
            SCOPED_TRACE(std::string(command) + (folderExists ? ", folder there" : ", new folder"));
            FakePop3Server server(mailbox(2));
            ASSERT_TRUE(server.start());
            QTemporaryDir dir;
            const QString mailDir = dir.filePath(QStringLiteral("mail"));
            if (folderExists) {
                ASSERT_TRUE(QDir().mkpath(mailDir));
                ASSERT_EQ(modeOf(mailDir), 0755);
            }
            ASSERT_TRUE(receive(server.address(), command, mailDir).ok());
            EXPECT_EQ(modeOf(mailDir), 0700);
            const QStringList files = allFiles(mailDir);  // the checker's record included
            EXPECT_EQ(files.size(), QByteArray(command) == "SAVEALL" ? 3 : 2);
            for (const QString& name : files) {
                EXPECT_EQ(modeOf(QDir(mailDir).filePath(name)), 0600) << name.toStdString();
            }
        }
    }
    ::umask(previousMask);
}

}  // namespace
}  // namespace orvane::mail
