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
using orvane::testing::measureWav;

namespace {

TEST(VoiceAttachmentSound, EnterPlaysTheVoiceOnTheDeviceKeysWorkMeanwhileAndCtrlSilencesIt) {
    orvane::testing::VirtualSoundDevice sound;
    if (!sound.available()) {
        GTEST_SKIP() << sound.whyNot().toStdString();
    }
    test::MailerHome home;
    ASSERT_TRUE(QDir(home.dir.path()).mkpath("mail"));
    // Six seconds of 440 Hz at half scale, as the recorder's voice mails are coded.
    const QString voice = QDir(home.mailDir()).filePath("voice.mp3");
    if (!speech::test::writeWithSox(voice, 44100, 1, {"synth", "6", "sine", "440", "vol", "0.5"})
             .isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    home.store().insertReceivedMail({QDateTime::currentDateTime(), "1.eml", "a@example.jp",
                                     "声の便り", "聞いてください", voice});
    home.start();  // the agent opens the device made above
    ASSERT_TRUE(home.focus(home.grid()));
    home.window->mailList().setCurrentCell(1, 1);
    QTemporaryDir scratch;
    const QString recording = scratch.filePath("monitor.wav");
    ASSERT_TRUE(sound.startRecordingMonitor(recording));

    QTest::keyClick(home.grid(), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), home.grid());
    // Heard; then the list is used while it plays.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto now = measureWav(recording);
            return now && now->audibleSeconds > 0.5;
        },
        15000));
    auto* folders = home.control<QListWidget>("List1");
    EXPECT_EQ(home.saidDuring([&] {
        QTest::keyClick(home.grid(), Qt::Key_Y, Qt::ControlModifier);
        EXPECT_TRUE(QTest::qWaitFor([folders] { return folders->hasFocus(); }, 2000));
    }),
              QStringList{"フォルダ"});
    QTest::keyClick(folders, Qt::Key_Control);

    // Recorded until the queue is idle and one more second has passed, so that
    // the device's latency is inside the file.
    ASSERT_TRUE(QTest::qWaitFor([&] { return home.agent->waitUntilIdle(0); }, 30000));
    const auto atEnd = measureWav(recording);
    ASSERT_TRUE(atEnd);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const auto now = measureWav(recording);
            return now && now->seconds >= atEnd->seconds + 1.0;
        },
        10000));
    EXPECT_TRUE(sound.stopRecording());
    const auto stats = measureWav(recording);
    ASSERT_TRUE(stats);
    // Six seconds were queued; well under half was heard, at the tone's level.
    EXPECT_GT(stats->audibleSeconds, 0.5);
    EXPECT_LT(stats->audibleSeconds, 3.0);
    EXPECT_GT(stats->peak, 0.2);
    EXPECT_TRUE(home.openedAttachments.isEmpty());
}

}  // namespace
