// INS in the body with the real recorder on a private sound device: a tone
// played into a PulseAudio null sink, whose monitor is the default source, must
// end up in the voice file with the recording's length.
#include "voice_recording.h"

#include "agent.h"
#include "announcer.h"
#include "character.h"
#include "decoded_audio.h"
#include "mailer_state.h"
#include "shell_wait.h"
#include "test_support.h"
#include "virtual_sound.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

constexpr double kToneAmplitude = 0.5;

// Whether `items` holds `wanted` in this order (others may stand between).
bool holdsInOrder(const QStringList& items, const QStringList& wanted) {
    qsizetype next = 0;
    for (const QString& item : items) {
        if (next < wanted.size() && item == wanted[next]) {
            ++next;
        }
    }
    return next == wanted.size();
}

class VoiceOnADevice : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!device.available()) {
            GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
        }
        ASSERT_TRUE(home.isValid());
        // Longer than any start-up of the recorder plus the recording.
        ASSERT_TRUE(recorder::testing::writeToneWav(home.filePath("tone.wav").toStdString(),
                                                    {{15.0, kToneAmplitude}}, 44100, 1, 1000));
        state.programFolder = home.path();
        AccountRow account;
        account.fields.account = "john.doe@example.jp";
        state.accounts = {account};
        state.current_account = 1;

        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
    }

    void TearDown() override {
        if (tone.state() != QProcess::NotRunning) {
            tone.kill();
            tone.waitForFinished();
        }
    }

    // The pause before the recording starts the tone instead of waiting.
    void startTone(int seconds) {
        pauses << seconds;
        statusInPause = status.text();
        tone.start("paplay", {"--device=" + orvane::testing::VirtualSoundDevice::sinkName(),
                              home.filePath("tone.wav")});
        ASSERT_TRUE(tone.waitForStarted());
    }

    orvane::testing::VirtualSoundDevice device;
    QTemporaryDir home;
    MailerState state;
    QLabel status;
    QLabel guide;
    QLabel mic;
    Announcer announcer{&status, &guide};
    // Every countdown tick, as the status line shows it.
    QStringList ticks;
    ShellWait shellWait{[this](const QString& w) {
        announcer.show_message(w);
        ticks << w;
    }};
    std::unique_ptr<speech::Agent> agent;
    QProcess tone;
    QList<int> pauses;
    QString statusInPause;
};

TEST_F(VoiceOnADevice, RecordsTheToneForTheSetLengthWhileTheStatusLineCountsDown) {
    state.recording_seconds = 3;
    VoiceRecording recording({
        .announcer = announcer,
        .state = state,
        .beep = beepThrough(*agent, agent->character("genie")),
        .pause = [this](int seconds) { startTone(seconds); },
        .shellWait = shellWait,
        .mic = &mic,
        .executableFolder = qEnvironmentVariable("ORVANE_BIN_DIR"),
    });

    recording.record_voice();

    EXPECT_EQ(pauses, QList<int>{7});
    EXPECT_EQ(statusInPause, "3秒間　録音中");
    EXPECT_TRUE(holdsInOrder(ticks, {"2", "1", "0"})) << ticks.join(" | ").toStdString();
    EXPECT_EQ(status.text(), "録音終了");
    ASSERT_TRUE(state.voice_attached) << status.text().toStdString();
    EXPECT_TRUE(state.voice_file_base.startsWith("orvane-john.doe@example.jp-"));

    const QString file = QDir(home.path()).filePath(state.voice_file_base + ".mp3");
    const auto decoded = recorder::testing::decodeMp3(file.toStdString());
    ASSERT_TRUE(decoded.has_value()) << file.toStdString();
    EXPECT_EQ(decoded->sampleRate, 32000);
    EXPECT_NEAR(decoded->seconds, 3.0, 0.15);
    // The tone alone: the opening beep was over before the recorder started.
    EXPECT_NEAR(decoded->peak, kToneAmplitude, 0.15);
}

}  // namespace
