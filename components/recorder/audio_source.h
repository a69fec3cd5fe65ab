#pragma once

#include "audio_format.h"
#include "recorder_failure.h"

#include <cstdint>
#include <span>
#include <string>

namespace orvane::recorder {

// Where the samples come from: the sound device, a WAV file, or a fake.
class AudioSource {
  public:
    virtual ~AudioSource() = default;

    virtual AudioFormat format() const = 0;
    // "the default input device (...)", "file x.wav (...)"
    virtual std::string description() const = 0;

    // Fills the front of `buffer` with whole frames of interleaved samples and returns
    // how many samples it wrote; 0 means the input has ended. `buffer` holds a whole
    // number of frames. A device blocks until the samples have been captured.
    virtual Expected<std::size_t> read(std::span<std::int16_t> buffer) = 0;
};

}  // namespace orvane::recorder
