#pragma once

#include "expected.h"

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orvane::testing {

// A private sound device for tests on machines without a sound card.
//
// The constructor starts a PulseAudio server of our own (null sink "orvane_null",
// its monitor "orvane_null.monitor" as the default source) on a private socket in a
// private temporary folder, then points this process and every program it starts at
// it:
//   PULSE_SERVER        the private socket (pacat, parec, libpulse),
//   PULSE_CLIENTCONFIG  a client config without autospawn,
//   ALSA_CONFIG_PATH    the system's alsa.conf plus a file that makes ALSA's
//                       "default" device the pulse plugin on that socket, so that
//                       PortAudio's default ALSA device plays into the null sink and
//                       records from its monitor.
// Create it before the code under test opens audio (PortAudio reads the ALSA
// configuration when it initialises). The destructor stops the recorder and the
// server, removes the folder and restores the variables. One instance at a time per
// process.
//
// If the server cannot start (no pulseaudio, no permission), available() is false and
// whyNot() says why: tests should GTEST_SKIP() with that reason.
class VirtualSoundDevice {
  public:
    VirtualSoundDevice();
    ~VirtualSoundDevice();
    VirtualSoundDevice(const VirtualSoundDevice&) = delete;
    VirtualSoundDevice& operator=(const VirtualSoundDevice&) = delete;

    bool available() const { return whyNot_.isEmpty(); }
    QString whyNot() const { return whyNot_; }

    // "unix:/tmp/.../native", the value given to PULSE_SERVER.
    QString serverAddress() const;
    static QString sinkName() { return QStringLiteral("orvane_null"); }
    static QString monitorSource() { return QStringLiteral("orvane_null.monitor"); }

    // Plays a sound file (WAV, FLAC, anything libsndfile reads) into the null sink and
    // returns when it has been played, so that a recorder reading the default source
    // hears it.
    Expected<void> playFile(const QString& path);

    // Records the null sink's monitor into a 16-bit mono 44.1 kHz WAV file at `path`
    // until stopRecording(). Returns once the recorder is connected.
    Expected<void> startRecordingMonitor(const QString& path);
    // Stops the recorder and finishes the file. True if the file was written.
    bool stopRecording();

  private:
    Expected<void> runPulseTool(const QString& program, const QStringList& args, int timeoutMs);
    bool waitUntilServing(int timeoutMs);
    void setEnv(const char* name, const QByteArray& value);

    QTemporaryDir dir_;
    QString whyNot_;
    std::unique_ptr<QProcess> daemon_;
    std::unique_ptr<QProcess> recorder_;
    QString recordingPath_;
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> savedEnv_;
};

// Length and level of a PCM WAV file (8/16/24/32-bit integer or 32-bit float),
// all channels mixed. Levels are relative to full scale (0..1).
struct WavStats {
    int sampleRate = 0;
    int channels = 0;
    double seconds = 0;
    double peak = 0;
    double rms = 0;
    // Seconds of the file whose 10 ms windows have an RMS above 0.01 (-40 dBFS).
    double audibleSeconds = 0;
};
// nullopt if the file is missing or not a PCM WAV file. Reads the chunks (RIFF,
// fmt, data) wherever they stand; tolerates a data chunk whose size was never
// filled in (a recorder that was killed).
std::optional<WavStats> measureWav(const QString& path);

}  // namespace orvane::testing
