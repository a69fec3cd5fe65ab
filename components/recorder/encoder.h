#pragma once

#include "audio_format.h"
#include "output_format.h"
#include "recorder_failure.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace orvane::recorder {

struct EncoderSettings {
    OutputFormat format = OutputFormat::Mp3;
    int bitrateKbps = 128;        // MP3 (CBR) and WMA
    std::optional<int> vbrLevel;  // MP3 only: VBR at this quality instead of CBR
};

// Turns interleaved 16-bit samples into a file. Calls: write() any number of times,
// then finish() once; a file is complete and playable only after finish() succeeded.
// Destroying an encoder without finish() leaves an incomplete file for the caller to
// remove.
class Encoder {
  public:
    virtual ~Encoder() = default;

    // `samples` hold whole frames in the format the encoder was opened for.
    virtual Expected<void> write(std::span<const std::int16_t> samples) = 0;
    virtual Expected<void> finish() = 0;
    // What it writes, e.g. "MP3 (LAME), 32000 Hz, 32 kbps CBR".
    virtual std::string description() const = 0;
};

}  // namespace orvane::recorder
