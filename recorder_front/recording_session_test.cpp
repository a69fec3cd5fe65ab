#include "recording_session.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "front_test_support.h"
#include "recorder_console.h"

namespace trelcapg {
namespace {

// The dialog's side, which this test does not look at.
class IgnoredView : public RecordingView {
  public:
    void DisableControls() override {}
    void ShowSettings() override {}
    void setRecordButtonCaption(const QString&) override {}
    void setRecordButtonEnabled(bool) override {}
};

// A console that could not be made: the recorder runs on the front end's own streams.
TEST(RecordingSessionTest, WithoutAConsoleTheRecorderStillRunsAndStops) {
    RecorderConsole none;
    IgnoredView view;
    testing::RecordingPresenter presenter;
    RecordingSession session(none, view, presenter, testing::FakeRecorderLocator(), "trelcap");
    QSignalSpy ended(&session, &RecordingSession::recorderEnded);
    const RecorderSettings settings{.filePath = "/tmp/out file.mp3", .recTime = 60};
    session.OnRecord(settings);
    ASSERT_EQ(session.recState(), RecState::Recording)
        << presenter.messages.join(u'|').toStdString();
    // Whether the interrupt finds its handler in place or not, the recorder ends.
    session.OnRecord(settings);
    ASSERT_TRUE(testing::WaitFor([&] { return ended.count() > 0; }, 20000));
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

}  // namespace
}  // namespace trelcapg
