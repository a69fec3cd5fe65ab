#pragma once

#include "audio_source.h"

#include <memory>
#include <vector>

namespace orvane::recorder {

// Captures from the system's default input device through PortAudio, in the format
// asked for (8-bit captures are widened to 16-bit samples).
class PortAudioSource final : public AudioSource {
  public:
    // Fails with one line when there is no input device or it refuses the format.
    static Expected<std::unique_ptr<PortAudioSource>> openDefault(const AudioFormat& format);
    ~PortAudioSource() override;
    PortAudioSource(const PortAudioSource&) = delete;
    PortAudioSource& operator=(const PortAudioSource&) = delete;

    AudioFormat format() const override { return format_; }
    std::string description() const override;
    Expected<std::size_t> read(std::span<std::int16_t> buffer) override;

  private:
    PortAudioSource(void* stream, AudioFormat format, std::string deviceName);

    void* stream_;  // PaStream
    AudioFormat format_;
    std::string deviceName_;
    std::vector<std::uint8_t> narrow_;  // 8-bit captures, offset binary
};

}  // namespace orvane::recorder
