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

    // A 440 Hz tone of `seconds` at half scale, as the recorder's voice mails are coded.
    QString tone(const QString& name, double seconds) {
        const QString path = QDir(home.mailDir()).filePath(name);
        const QString complaint = speech::test::writeWithSox(
            path, 44100, 1, {"synth", QString::number(seconds), "sine", "440", "vol", "0.5"});
        return complaint.isEmpty() ? path : QString();
    }

    void startOnRow(int row) {
        home.start();  // the agent opens the device made above
        QTableView* grid = home.grid();
        grid->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->hasFocus(); }, 2000));
        home.window->mailList().setCurrentCell(row, 1);
    }

    // Records until the queue is idle and one more second has passed, so that
    // the device's latency is inside the file.
    std::optional<orvane::testing::WavStats> recordUntilHeard(const QString& recording) {
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
};

TEST_F(VoiceAttachmentSound, EnterPlaysTheVoiceOnTheDeviceWhileTheWindowKeepsTheFocus) {
    const QString voice = tone("voice.mp3", 1.0);
    if (voice.isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    home.store().insertReceivedMail({QDateTime::currentDateTime(), "1.eml", "a@example.jp",
                                     "声の便り", "聞いてください", voice});
    startOnRow(1);

    const QString recording = scratch.filePath("monitor.wav");
    ASSERT_TRUE(sound.startRecordingMonitor(recording));
    QTest::keyClick(home.grid(), Qt::Key_Return);
    EXPECT_TRUE(home.grid()->hasFocus());
    EXPECT_EQ(QApplication::focusWidget(), home.grid());
    const auto stats = recordUntilHeard(recording);
    ASSERT_TRUE(stats);
    // One second of tone (the device may swallow the first moments).
    EXPECT_GT(stats->audibleSeconds, 0.5);
    EXPECT_LT(stats->audibleSeconds, 1.8);
    EXPECT_GT(stats->peak, 0.2);
    EXPECT_TRUE(home.openedAttachments.isEmpty());
    EXPECT_TRUE(home.grid()->hasFocus());
}

TEST_F(VoiceAttachmentSound, CtrlSilencesAPlayingVoiceAndKeysWorkMeanwhile) {
    const QString voice = tone("long.mp3", 6.0);
    if (voice.isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    home.store().insertReceivedMail(
        {QDateTime::currentDateTime(), "1.eml", "a@example.jp", "長い声", "聞いてください", voice});
    startOnRow(1);

    const QString recording = scratch.filePath("monitor.wav");
    ASSERT_TRUE(sound.startRecordingMonitor(recording));
    QTest::keyClick(home.grid(), Qt::Key_Return);
    // Wait until the tone is heard, then use the list while it plays.
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
    const auto stats = recordUntilHeard(recording);
    ASSERT_TRUE(stats);
    // Six seconds were queued; well under half was heard.
    EXPECT_GT(stats->audibleSeconds, 0.4);
    EXPECT_LT(stats->audibleSeconds, 3.0);
}

}  // namespace
