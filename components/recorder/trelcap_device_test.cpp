// trelcap recording from a real (private, virtual) sound device: a tone played into a
// PulseAudio null sink whose monitor is the default source must land in the file with
// its length and level.
#include "trelcap_test_support.h"
#include "virtual_sound.h"

#include <signal.h>

namespace orvane::recorder {
namespace {

using orvane::testing::measureWav;
using orvane::testing::VirtualSoundDevice;

constexpr double kToneSeconds = 1.5;
constexpr double kToneAmplitude = 0.5;

class TrelcapOnADevice : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!device_.available()) {
            GTEST_SKIP() << "no private PulseAudio: " << device_.whyNot().toStdString();
        }
        ASSERT_TRUE(dir_.isValid());
        ASSERT_TRUE(testing::writeToneWav(dir_.filePath("tone.wav").toStdString(),
                                          {{kToneSeconds, kToneAmplitude}}, 44100, 1, 1000));
    }

    // Starts the recorder, plays the tone once it is capturing (its meter has begun),
    // then stops it with Ctrl+C or waits for its end.
    void recordTheTone(const QString& program, const QStringList& args, bool interrupt = false) {
        QProcess process;
        QByteArray out;
        ASSERT_TRUE(testing::startUntil(process, program, args, dir_.path(), " s  [", out))
            << out.toStdString() << process.readAllStandardError().toStdString();
        QString error;
        ASSERT_TRUE(device_.playFile(dir_.filePath("tone.wav"), &error)) << error.toStdString();
        if (interrupt) {
            ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
        }
        ASSERT_TRUE(process.waitForFinished(60000));
        out += process.readAllStandardOutput();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0)
            << out.toStdString() << process.readAllStandardError().toStdString();
        if (interrupt) {
            EXPECT_TRUE(out.contains("stopped by Ctrl+C")) << out.toStdString();
        }
    }

    VirtualSoundDevice device_;
    QTemporaryDir dir_;
};

TEST_F(TrelcapOnADevice, CapturesTheToneWithItsLengthAndLevel) {
    const struct {
        const char* name;
        QString format;  // -f
        int rate;
        int channels;
    } rows[] = {{"44.1 kHz stereo 16-bit", "12", 44100, 2},
                {"11 kHz mono 8-bit", "1", 11025, 1},
                {"48 kHz mono 16-bit", "15", 48000, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        recordTheTone(testing::trelcapPath(), {"-t", "4", "-f", row.format, "-WAV", "rec"});
        const auto stats = measureWav(dir_.filePath("rec.wav"));
        ASSERT_TRUE(stats.has_value());
        EXPECT_EQ(stats->sampleRate, row.rate);
        EXPECT_EQ(stats->channels, row.channels);
        EXPECT_NEAR(stats->seconds, 4.0, 0.01);
        EXPECT_NEAR(stats->audibleSeconds, kToneSeconds, 0.2);
        EXPECT_NEAR(stats->peak, kToneAmplitude, 0.06);
        QFile::remove(dir_.filePath("rec.wav"));
    }
}

// The mailer's exact command line, through the copy in trelcap28/, leaves NAME.mp3.
TEST_F(TrelcapOnADevice, MailerCommandLineLeavesNameDotMp3) {
    const QString name = "orvane-john.doe-20261206123456";
    recordTheTone(qEnvironmentVariable("ORVANE_BIN_DIR") + "/trelcap28/trelcap",
                  {"-t", "3", "-b", "32", "-f", "12", "-sr", "32.2", name});
    const auto decoded = testing::decodeMp3(dir_.filePath(name + ".mp3").toStdString());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->sampleRate, 32000);
    EXPECT_NEAR(decoded->seconds, 3.0, 0.1);
    EXPECT_NEAR(decoded->peak, kToneAmplitude, 0.1);
}

TEST_F(TrelcapOnADevice, CtrlCKeepsWhatWasRecorded) {
    recordTheTone(testing::trelcapPath(), {"-t", "60", "-WAV", "rec"}, true);
    const auto stats = measureWav(dir_.filePath("rec.wav"));
    ASSERT_TRUE(stats.has_value());
    EXPECT_GT(stats->seconds, kToneSeconds);
    EXPECT_LT(stats->seconds, 30);
    EXPECT_NEAR(stats->audibleSeconds, kToneSeconds, 0.2);
}

}  // namespace
}  // namespace orvane::recorder
