// A voice attachment heard on a sound device: ENTER on the real window plays
// it into a private PulseAudio null sink, and Ctrl silences it.
#include "window_test_support.h"

#include "test_sounds.h"
#include "virtual_sound.h"

#include <QListWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;
using orvane::testing::measureWav;
using orvane::testing::VirtualSoundDevice;

namespace {

class VoiceAttachmentSound : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!sound.available()) {
            GTEST_SKIP() << sound.whyNot().toStdString();
        }
        ASSERT_TRUE(QDir(home.dir.path()).mkpath("mail"));
    }

    // A mail with a 440 Hz voice of `seconds` at half scale (as the recorder's
    // voice mails are coded), on row 1 of the focused list, with the device's
    // monitor recording. False when sox cannot write MP3 here.
    bool startOnVoiceMail(double seconds) {
        const QString voice = QDir(home.mailDir()).filePath("voice.mp3");
        if (!speech::test::writeWithSox(
                 voice, 44100, 1, {"synth", QString::number(seconds), "sine", "440", "vol", "0.5"})
                 .isEmpty()) {
            return false;
        }
        home.store().insertReceivedMail({QDateTime::currentDateTime(), "1.eml", "a@example.jp",
                                         "声の便り", "聞いてください", voice});
        home.start();  // the agent opens the device made above
        QTableView* grid = home.grid();
        grid->setFocus(Qt::OtherFocusReason);
        EXPECT_TRUE(QTest::qWaitFor([grid] { return grid->hasFocus(); }, 2000));
        home.window->mailList().setCurrentCell(1, 1);
        EXPECT_TRUE(sound.startRecordingMonitor(recording));
        return true;
    }

    // Records until the queue is idle and one more second has passed, so that
    // the device's latency is inside the file.
    std::optional<orvane::testing::WavStats> recordUntilHeard() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return home.agent->waitUntilIdle(0); }, 30000));
        const auto atEnd = measureWav(recording);
        EXPECT_TRUE(atEnd);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                const auto now = measureWav(recording);
                return now && atEnd && now->seconds >= atEnd->seconds + 1.0;
            },
            10000));
        EXPECT_TRUE(sound.stopRecording());
        return measureWav(recording);
    }

    VirtualSoundDevice sound;
    MailerHome home;
    QTemporaryDir scratch;
    const QString recording = scratch.filePath("monitor.wav");
};

TEST_F(VoiceAttachmentSound, EnterPlaysTheVoiceOnTheDeviceKeysWorkMeanwhileAndCtrlSilencesIt) {
    if (!startOnVoiceMail(6.0)) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    QTest::keyClick(home.grid(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), home.grid());
    // Heard; then the list is used while it plays.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto now = measureWav(recording);
            return now && now->audibleSeconds > 0.5;
        },
        15000));
    const qsizetype mark = home.spoken().size();
    QTest::keyClick(home.grid(), Qt::Key_Y, Qt::ControlModifier);
    auto* folders = home.control<QListWidget>("List1");
    ASSERT_TRUE(QTest::qWaitFor([folders] { return folders->hasFocus(); }, 2000));
    EXPECT_EQ(home.spokenSince(mark), QStringList{"フォルダ"});
    QTest::keyClick(folders, Qt::Key_Control);
    const auto stats = recordUntilHeard();
    ASSERT_TRUE(stats);
    // Six seconds were queued; well under half was heard, at the tone's level.
    EXPECT_GT(stats->audibleSeconds, 0.5);
    EXPECT_LT(stats->audibleSeconds, 3.0);
    EXPECT_GT(stats->peak, 0.2);
    EXPECT_TRUE(home.openedAttachments.isEmpty());
}

}  // namespace
