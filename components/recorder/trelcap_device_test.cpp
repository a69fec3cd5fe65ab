// trelcap recording from a real (private, virtual) sound device: a tone played into a
// PulseAudio null sink whose monitor is the default source must land in the file with
// its length and level.
#include "decoded_audio.h"
#include "virtual_sound.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

    // Starts trelcap and returns once it is capturing (its meter has begun).
    void start(const QString& program, const QStringList& args) {
        process_.setWorkingDirectory(dir_.path());
        process_.start(program, args);
        ASSERT_TRUE(process_.waitForStarted());
        while (!output_.contains(" s  [") && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(5000);
            output_ += process_.readAllStandardOutput();
        }
        ASSERT_TRUE(output_.contains(" s  ["))
            << output_.toStdString() << process_.readAllStandardError().toStdString();
    }

    void playTone() {
        QString error;
        ASSERT_TRUE(device_.playFile(dir_.filePath("tone.wav"), &error)) << error.toStdString();
    }

    void waitForEnd() {
        ASSERT_TRUE(process_.waitForFinished(60000));
        output_ += process_.readAllStandardOutput();
        EXPECT_EQ(process_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process_.exitCode(), 0)
            << output_.toStdString() << process_.readAllStandardError().toStdString();
    }

    static QString trelcap() { return qEnvironmentVariable("ORVANE_BIN_DIR") + "/trelcap"; }

    VirtualSoundDevice device_;
    QTemporaryDir dir_;
    QProcess process_;
    QByteArray output_;
};

struct CaptureRow {
    const char* name;
    QString format;  // -f
    int rate;
    int channels;
};

class CapturesTheTone : public TrelcapOnADevice,
                        public ::testing::WithParamInterface<CaptureRow> {};

TEST_P(CapturesTheTone, WithItsLengthAndLevel) {
    const auto& row = GetParam();
    start(trelcap(), {"-t", "4", "-f", row.format, "-WAV", "rec"});
    playTone();
    waitForEnd();

    const auto stats = measureWav(dir_.filePath("rec.wav"));
    ASSERT_TRUE(stats.has_value());
    EXPECT_EQ(stats->sampleRate, row.rate);
    EXPECT_EQ(stats->channels, row.channels);
    EXPECT_NEAR(stats->seconds, 4.0, 0.01);
    EXPECT_NEAR(stats->audibleSeconds, kToneSeconds, 0.2);
    EXPECT_NEAR(stats->peak, kToneAmplitude, 0.06);
}

INSTANTIATE_TEST_SUITE_P(Rows, CapturesTheTone,
                         ::testing::Values(CaptureRow{"Cd44kStereo16", "12", 44100, 2},
                                           CaptureRow{"Low11kMono8", "1", 11025, 1},
                                           CaptureRow{"Dat48kMono16", "15", 48000, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

// The mailer's exact command line, through the copy in trelcap28/, leaves NAME.mp3.
TEST_F(TrelcapOnADevice, MailerCommandLineLeavesNameDotMp3) {
    const QString name = "orvane-john.doe-20261206123456";
    start(qEnvironmentVariable("ORVANE_BIN_DIR") + "/trelcap28/trelcap",
          {"-t", "3", "-b", "32", "-f", "12", "-sr", "32.2", name});
    playTone();
    waitForEnd();

    const auto decoded = testing::decodeMp3(dir_.filePath(name + ".mp3").toStdString());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->sampleRate, 32000);
    EXPECT_NEAR(decoded->seconds, 3.0, 0.1);
    EXPECT_NEAR(decoded->peak, kToneAmplitude, 0.1);
}

TEST_F(TrelcapOnADevice, CtrlCKeepsWhatWasRecorded) {
    start(trelcap(), {"-t", "60", "-WAV", "rec"});
    playTone();
    ASSERT_EQ(::kill(static_cast<pid_t>(process_.processId()), SIGINT), 0);
    waitForEnd();
    EXPECT_TRUE(output_.contains("stopped by Ctrl+C")) << output_.toStdString();

    const auto stats = measureWav(dir_.filePath("rec.wav"));
    ASSERT_TRUE(stats.has_value());
    EXPECT_GT(stats->seconds, kToneSeconds);
    EXPECT_LT(stats->seconds, 30);
    EXPECT_NEAR(stats->audibleSeconds, kToneSeconds, 0.2);
}

}  // namespace
}  // namespace orvane::recorder
