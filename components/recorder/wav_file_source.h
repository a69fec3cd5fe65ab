#pragma once

#include "audio_source.h"

#include <chrono>
#include <memory>
#include <string>

namespace orvane::recorder {

// Reads a WAV file (through libsndfile, which walks the RIFF chunks) as if it were
// the input device. Mono and stereo only, at most kMaxSampleRate.
class WavFileSource final : public AudioSource {
  public:
    // The highest rate a file may claim. Buffers grow with the rate, so a header that
    // claims an absurd one is refused before anything is set aside for it.
    static constexpr int kMaxSampleRate = 384'000;

    // realTime: hand out the samples no faster than a device would capture them.
    static Expected<std::unique_ptr<WavFileSource>> open(const std::string& path, bool realTime);
    ~WavFileSource() override;
    WavFileSource(const WavFileSource&) = delete;
    WavFileSource& operator=(const WavFileSource&) = delete;

    AudioFormat format() const override { return format_; }
    std::string description() const override;
    Expected<std::size_t> read(std::span<std::int16_t> buffer) override;

  private:
    WavFileSource(void* file, AudioFormat format, std::string path, bool realTime);

    void* file_;  // SNDFILE
    AudioFormat format_;
    std::string path_;
    bool realTime_;
    std::int64_t framesDelivered_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace orvane::recorder
