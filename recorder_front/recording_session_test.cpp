#include "recording_session.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <signal.h>

#include <gtest/gtest.h>

#include "front_test_support.h"
#include "pseudo_terminal.h"
#include "recorder_console.h"
#include "terminal_screen.h"

namespace trelcapg {
namespace {

using testing::FakeRecorderLocator;
using testing::RecordingPresenter;
using testing::WaitFor;

// The dialog's side, which these tests do not look at.
class IgnoredView : public RecordingView {
  public:
    void DisableControls() override {}
    void ShowSettings() override {}
    void setRecordButtonCaption(const QString&) override {}
    void setRecordButtonEnabled(bool) override {}
};

class RecordingSessionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PseudoTerminal::open(80, 25)) {
            GTEST_SKIP() << "no pseudo-terminals on this machine (/dev/ptmx)";
        }
        ASSERT_TRUE(console_.open());
        QObject::connect(&console_, &RecorderConsole::output,
                         [this](const QByteArray& bytes) { screen_.feed(bytes); });
    }

    RecordingSession& makeSession(RecorderLocator locator = FakeRecorderLocator()) {
        session_ = std::make_unique<RecordingSession>(console_, view_, presenter_,
                                                      std::move(locator), "trelcap");
        ended_ = std::make_unique<QSignalSpy>(session_.get(), &RecordingSession::recorderEnded);
        return *session_;
    }

    static RecorderSettings Seconds(int seconds, std::string options = {}) {
        return {.filePath = "/tmp/out file.mp3", .recTime = seconds, .options = std::move(options)};
    }

    bool consoleShows(const char* text) const {
        return screen_.text().contains(QString::fromUtf8(text));
    }
    bool waitForConsole(const char* text) {
        return WaitFor([&] { return consoleShows(text); });
    }
    bool waitForEnd() {
        return WaitFor([&] { return ended_->count() > 0; }, 20000);
    }

    RecorderConsole console_;
    TerminalScreen screen_;
    IgnoredView view_;
    RecordingPresenter presenter_;
    std::unique_ptr<RecordingSession> session_;
    std::unique_ptr<QSignalSpy> ended_;
};

TEST_F(RecordingSessionTest, RecorderIgnoringTheInterruptKeepsTheSessionStopping) {
    RecordingSession& session = makeSession();
    session.OnRecord(Seconds(2, "-hold"));
    ASSERT_TRUE(waitForConsole("0 sec"));
    session.OnRecord(Seconds(2));
    EXPECT_EQ(session.recState(), RecState::Stopping);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(session.recState(), RecState::Idle);
    EXPECT_TRUE(waitForConsole("time passed"));
}

TEST_F(RecordingSessionTest, EndingTheSessionEndsItsRecorder) {
    RecordingSession& session = makeSession();
    session.OnRecord(Seconds(60));
    const pid_t pid = *session.recorderPid();
    session_.reset();
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST_F(RecordingSessionTest, WithoutAConsoleTheRecorderStillRunsAndStops) {
    console_.close();
    RecordingSession& session = makeSession();
    session.OnRecord(Seconds(60));
    ASSERT_EQ(session.recState(), RecState::Recording);
    // Whether the interrupt finds its handler in place or not, the recorder ends.
    session.OnRecord(Seconds(60));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(session.recState(), RecState::Idle);
}

TEST(LocateRecorderTest, OwnFolderFirstThenPath) {
    QTemporaryDir own, first, second;
    auto make = [](const QTemporaryDir& dir, bool executable) {
        QFile file(dir.filePath(QStringLiteral("trelcap")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        if (executable) {
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        }
        return file.fileName().toStdString();
    };
    const std::string inSecond = make(second, true);
    EXPECT_EQ(LocateRecorder("trelcap", own.path(), {first.path(), second.path()}), inSecond);
    make(first, false);  // not executable: passed over
    EXPECT_EQ(LocateRecorder("trelcap", own.path(), {first.path(), second.path()}), inSecond);
    const std::string inOwn = make(own, true);
    EXPECT_EQ(LocateRecorder("trelcap", own.path(), {first.path(), second.path()}), inOwn);
    EXPECT_EQ(LocateRecorder("missing", own.path(), {first.path()}), std::nullopt);
}

// A program that cannot be started is a failure with its reason, never a process id.
TEST(SpawnSessionLeaderTest, ProgramThatCannotRunIsAFailure) {
    QTemporaryDir dir;
    QFile text(dir.filePath(QStringLiteral("not-a-program")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("no interpreter line, no machine code\n");
    text.setPermissions(text.permissions() | QFileDevice::ExeOwner);
    text.close();
    struct Row {
        const char* name;
        std::string program;
        orvane::FailureKind kind;
    };
    const Row rows[] = {
        {"missing", dir.filePath(QStringLiteral("missing")).toStdString(),
         orvane::FailureKind::NotFound},
        {"not a program", text.fileName().toStdString(), orvane::FailureKind::Internal},
    };
    for (const Row& row : rows) {
        const auto started = SpawnSessionLeader(row.program, {row.program}, nullptr);
        ASSERT_FALSE(started.ok()) << row.name;
        EXPECT_EQ(started.failure().kind, row.kind) << row.name;
        EXPECT_TRUE(started.failure().reason.contains(QString::fromStdString(row.program)))
            << row.name;
    }
}

}  // namespace
}  // namespace trelcapg
