// RcvMail through the component against a scripted POP3 server that refuses,
// floods, lies or stalls; and what the saved files look like on disk.
#include "mail_client.h"
#include "transport_test_support.h"

#include "fake_pop3_server.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <algorithm>
#include <cerrno>
#include <csignal>

namespace orvane::mail {
namespace {

using testing::FakePop3Server;
using namespace test;

TransportOptions hostileOptions() {
    TransportOptions options = quickOptions(false, std::chrono::seconds(2));
    options.operationBaseTime = std::chrono::seconds(1);
    return options;
}

Expected<QStringList> receive(const QString& server, const char* command, const QString& dir,
                              const TransportOptions& options = quickOptions(false)) {
    MailClient client(options);
    return client.rcvMail(server, QStringLiteral("u"), QStringLiteral("secret"),
                          QString::fromLatin1(command), dir);
}

bool isLoginCommand(const QByteArray& command) {
    return command.startsWith("USER") || command.startsWith("PASS") || command.startsWith("AUTH");
}

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0
               ? static_cast<int>(info.st_mode & 07777)
               : -1;
}

// The mailer's pass and the checker's, with the last mail of the pass refused:
// every mail before it arrives (also those since the last batch was made
// durable), and the refused one is fetched once the server hands it out.
TEST(Pop3HostileServer, ARefusedLastMailStrandsNoneBeforeIt) {
    struct Row {
        const char* name;
        int count;
        const char* command;
    };
    const Row rows[] = {
        {"mailer, 3 mails", 3, "SAVEALLD"},
        {"mailer, 40 mails (past one batch)", 40, "SAVEALLD"},
        {"checker, 3 mails", 3, "SAVEALL"},
        {"checker, 40 mails (past one batch)", 40, "SAVEALL"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const bool checker = QByteArray(row.command) == "SAVEALL";
        FakePop3Server::Script script;
        script.messages = numberedMails(row.count, 20);
        script.refuseRetrOf = row.count;
        FakePop3Server server(script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;

        const Expected<QStringList> result = receive(server.address(), row.command, dir.path());
        ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
        const QStringList files = checker ? *result : result->mid(1);
        ASSERT_EQ(files.size(), row.count - 1);
        for (int n = 1; n < row.count; ++n) {
            EXPECT_EQ(readFile(files[n - 1]), script.messages[n - 1]) << "mail " << n;
        }
        for (const QString& name : allFiles(dir.path())) {
            EXPECT_FALSE(name.startsWith(QStringLiteral(".incoming-"))) << name.toStdString();
        }
        EXPECT_EQ(server.mailbox(),
                  checker ? script.messages : QList<QByteArray>{script.messages.last()});

        server.setRefusedRetr(std::nullopt);
        const Expected<QStringList> next = receive(server.address(), row.command, dir.path());
        ASSERT_TRUE(next.ok()) << next.failure().reason.toStdString();
        const QStringList nextFiles = checker ? *next : next->mid(1);
        ASSERT_EQ(nextFiles.size(), 1);
        EXPECT_EQ(readFile(nextFiles.first()), script.messages.last());
    }
}

TEST(Pop3HostileServer, IsCutOffWithAReasonInsteadOfHoldingOrFloodingTheClient) {
    struct Row {
        const char* name;
        FakePop3Server::Script script;
        bool requireTls;  // the account names the bare address
        const char* command;
        FailureKind kind;
        const char* reasonPart;
    };
    FakePop3Server::Script endlessCapa;
    endlessCapa.endlessReplyTo = "CAPA";
    FakePop3Server::Script endlessUidl;
    endlessUidl.messages = numberedMails(1);
    endlessUidl.endlessReplyTo = "UIDL";
    FakePop3Server::Script threeBillion;
    threeBillion.statClaim = "3000000000 1000";
    FakePop3Server::Script pastInt;
    pastInt.statClaim = "2147483649 1000";
    FakePop3Server::Script trickle;
    trickle.messages = numberedMails(1, 4);
    trickle.trickle = std::chrono::milliseconds(20);
    FakePop3Server::Script noStls;
    noStls.messages = numberedMails(1);
    const Row rows[] = {
        {"CAPA without end", endlessCapa, false, "STAT", FailureKind::Protocol, "CAPA"},
        {"UIDL without end", endlessUidl, false, "SAVEALL", FailureKind::Protocol, "UIDL"},
        {"STAT claims three billion mails", threeBillion, false, "SAVEALLD", FailureKind::Protocol,
         "3000000000"},
        {"STAT count past 2^31", pastInt, false, "SAVEALLD", FailureKind::Protocol, "2147483649"},
        {"one byte at a time", trickle, false, "SAVEALLD", FailureKind::Timeout, "時間切れ"},
        {"no STLS where the account requires TLS", noStls, true, "SAVEALLD", FailureKind::Tls,
         "pop3://127.0.0.1:"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakePop3Server server(row.script);
        ASSERT_TRUE(server.start());
        QTemporaryDir dir;
        QElapsedTimer timer;
        timer.start();
        const Expected<QStringList> result =
            receive(row.requireTls ? server.bareAddress() : server.address(), row.command,
                    dir.path(), hostileOptions());
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.failure().kind, row.kind) << result.failure().reason.toStdString();
        EXPECT_TRUE(result.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << result.failure().reason.toStdString();
        EXPECT_LT(timer.elapsed(), 30000);  // the limit is about a second; generous
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        EXPECT_EQ(server.mailbox(), row.script.messages);
        if (row.requireTls) {
            // Not even the user name went out.
            const QList<QByteArray> commands = server.commands();
            EXPECT_FALSE(std::any_of(commands.begin(), commands.end(), isLoginCommand))
                << commands.join(' ').toStdString();
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
            FakePop3Server::Script script;
            script.messages = numberedMails(2);
            FakePop3Server server(script);
            ASSERT_TRUE(server.start());
            QTemporaryDir dir;
            const QString mailDir = dir.filePath(QStringLiteral("mail"));
            if (folderExists) {
                ASSERT_TRUE(QDir().mkpath(mailDir));
                ASSERT_EQ(modeOf(mailDir), 0755);
            }
            const Expected<QStringList> result = receive(server.address(), command, mailDir);
            ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
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

// The file size limit stands in for a full disk: the write fails with the
// system's error number, which the user hears in Japanese.
TEST(Pop3SavedFiles, AFailedWriteSaysWhyAndLosesNoMail) {
    FakePop3Server::Script script;
    script.messages = numberedMails(3, 3000);  // about 70 KB each
    FakePop3Server server(script);
    ASSERT_TRUE(server.start());
    QTemporaryDir dir;

    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Expected<QStringList> result = receive(server.address(), "SAVEALLD", dir.path());
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.failure().kind, FailureKind::Disk);
    EXPECT_TRUE(result.failure().reason.contains(errorNumberText(EFBIG)))
        << result.failure().reason.toStdString();
    EXPECT_EQ(server.mailbox().size(), 3);
    EXPECT_TRUE(allFiles(dir.path()).isEmpty());
}

}  // namespace
}  // namespace orvane::mail
