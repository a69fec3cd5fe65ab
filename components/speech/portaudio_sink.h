#pragma once

#include "audio_sink.h"

typedef void PaStream;

namespace orvane::speech {

// Plays through PortAudio's default output device (mono, 16-bit, at each piece's
// own rate; the stream is reopened when the rate changes). PortAudio is set up on
// the first play, on the calling thread; the chatter of ALSA and JACK about missing
// devices is silenced so that a machine without sound prints one line of ours.
class PortAudioSink final : public AudioSink {
  public:
    PortAudioSink() = default;
    ~PortAudioSink() override;
    PortAudioSink(const PortAudioSink&) = delete;
    PortAudioSink& operator=(const PortAudioSink&) = delete;

    std::optional<QString> play(const Audio& audio, const std::atomic<bool>& stop) override;
    void drain() override;

  private:
    std::optional<QString> openAt(int sampleRate);
    void close();

    bool initialized_ = false;
    PaStream* stream_ = nullptr;
    int streamRate_ = 0;
    bool running_ = false;
};

}  // namespace orvane::speech
