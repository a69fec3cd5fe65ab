#include "virtual_sound.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using orvane::testing::measureWav;
using orvane::testing::VirtualSoundDevice;

namespace {

// A 16-bit mono 440 Hz sine WAV.
QByteArray sineWav(int rate, double seconds, double amplitude) {
    QByteArray w;
    QDataStream out(&w, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const int frames = int(rate * seconds);
    out.writeRawData("RIFF\0\0\0\0WAVEfmt ", 16);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(frames * 2);
    for (int i = 0; i < frames; ++i) {
        out << qint16(amplitude * 32767 * std::sin(2 * M_PI * 440.0 * i / rate));
    }
    return w;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
}

}  // namespace

// How the chunks are found is the WAV reader's own test; here: the figures.
TEST(MeasureWav, LengthAndLevelOfASine) {
    QTemporaryDir dir;
    const auto stats = measureWav(writeFile(dir, "a.wav", sineWav(8000, 0.5, 0.5)));
    ASSERT_TRUE(stats);
    EXPECT_EQ(stats->sampleRate, 8000);
    EXPECT_NEAR(stats->seconds, 0.5, 0.001);
    EXPECT_NEAR(stats->peak, 0.5, 0.01);
    EXPECT_NEAR(stats->rms, 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(stats->audibleSeconds, 0.5, 0.02);
    EXPECT_FALSE(measureWav(writeFile(dir, "b.wav", "RIFF\0\0\0\0WAVEjunk")));
    EXPECT_FALSE(measureWav(dir.filePath("missing.wav")));
}

TEST(VirtualSoundDevice, PlayedAndAlsaAudioReachesTheMonitor) {
    VirtualSoundDevice device;
    if (!device.available()) {
        GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
    }
    EXPECT_EQ(qgetenv("PULSE_SERVER"), device.serverAddress().toLocal8Bit());
    QTemporaryDir dir;
    const QString tone = writeFile(dir, "tone.wav", sineWav(22050, 1.0, 0.5));

    const QString recording = dir.filePath("rec.wav");
    QString error;
    ASSERT_TRUE(device.startRecordingMonitor(recording, &error)) << error.toStdString();
    ASSERT_TRUE(device.playFile(tone, &error)) << error.toStdString();
    // The same through ALSA's default device, as PortAudio plays.
    const bool haveAplay = !QStandardPaths::findExecutable("aplay").isEmpty();
    if (haveAplay) {
        QProcess aplay;
        aplay.start("aplay", {"-q", tone});
        ASSERT_TRUE(aplay.waitForFinished(30000));
        EXPECT_EQ(aplay.exitCode(), 0) << aplay.readAllStandardError().toStdString();
    }
    ASSERT_TRUE(device.stopRecording());

    const auto stats = measureWav(recording);
    ASSERT_TRUE(stats);
    EXPECT_GT(stats->peak, 0.3);
    EXPECT_NEAR(stats->audibleSeconds, haveAplay ? 2.0 : 1.0, 0.3);
}

TEST(VirtualSoundDevice, RestoresTheEnvironment) {
    qunsetenv("PULSE_SERVER");
    { VirtualSoundDevice device; }
    EXPECT_FALSE(qEnvironmentVariableIsSet("PULSE_SERVER"));
}
