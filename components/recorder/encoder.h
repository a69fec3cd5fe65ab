#pragma once

#include "audio_format.h"
#include "output_format.h"
#include "result.h"

#include <cstdint>
#include <memory>
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
    virtual Status write(std::span<const std::int16_t> samples) = 0;
    virtual Status finish() = 0;
    // What it writes, e.g. "MP3 (LAME), 32000 Hz, 32 kbps CBR".
    virtual std::string description() const = 0;
};

// Opens the encoder of settings.format writing to `path`. `input` is the format of the
// samples it will get; its rate must be one of supportedSampleRates(settings.format).
Result<std::unique_ptr<Encoder>> openEncoder(const EncoderSettings& settings,
                                             const AudioFormat& input, const std::string& path);

// Wraps `inner` so that samples at `inputRate` reach it at `outputRate` (libswresample).
Result<std::unique_ptr<Encoder>> withResampling(std::unique_ptr<Encoder> inner, int channels,
                                                int inputRate, int outputRate);

}  // namespace orvane::recorder
