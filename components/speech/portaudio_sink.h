#pragma once

#include "audio_sink.h"

typedef void PaStream;

namespace orvane::speech {

// Plays through PortAudio's default output device: mono, 16-bit, at each piece's
// own rate where the device takes it (the stream is reopened when the rate changes),
// else resampled to the device's own rate. Audio is written in blocks of 10 ms into
// a stream that holds 100 ms, enough that a busy machine does not starve it;
// discard() drops what it holds, so a stop is heard within a block or so. Before a
// stream stops (queue run dry, rate change) silence is written behind the audio, as
// some systems drop what the device still holds when a stream stops. PortAudio is
// set up on the first play, on the calling thread; the chatter of ALSA and JACK
// about missing devices is silenced so that a machine without sound prints one line
// of ours.
class PortAudioSink final : public AudioSink {
  public:
    static constexpr int kBlockMs = 10;
    // What the stream holds ahead of the device.
    static constexpr double kBufferSeconds = 0.1;

    PortAudioSink() = default;
    ~PortAudioSink() override;
    PortAudioSink(const PortAudioSink&) = delete;
    PortAudioSink& operator=(const PortAudioSink&) = delete;

    Expected<void> play(const Audio& audio, const std::atomic<bool>& stop) override;
    void drain(const std::atomic<bool>& stop) override;
    void discard() override;

    // The output latency the device reports for the open stream, in seconds (0 when
    // no stream is open).
    double outputLatency() const;

  private:
    Expected<void> openFor(int sampleRate, const std::atomic<bool>& stop);
    Expected<void> write(const std::vector<std::int16_t>& samples, const std::atomic<bool>& stop);
    // `heardFirst`: what was handed over is played out (unless `stop` is set) before
    // the stream closes.
    void close(bool heardFirst, const std::atomic<bool>& stop);
    // Lets everything handed over be heard, then stops the stream; leaves it running
    // when `stop` is set meanwhile.
    void playOutAndStop(const std::atomic<bool>& stop);

    bool initialized_ = false;
    PaStream* stream_ = nullptr;
    int pieceRate_ = 0;   // the rate of the pieces the stream was opened for
    int streamRate_ = 0;  // the rate it runs at
    bool running_ = false;
};

}  // namespace orvane::speech
