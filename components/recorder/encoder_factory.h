#pragma once

#include "audio_format.h"
#include "encoder.h"

#include <memory>
#include <string>

namespace orvane::recorder {

// Opens the encoder of settings.format writing to `path`. `input` is the format of the
// samples it will get; its rate must be one of supportedSampleRates(settings.format).
Expected<std::unique_ptr<Encoder>> openEncoder(const EncoderSettings& settings,
                                               const AudioFormat& input, const std::string& path);

}  // namespace orvane::recorder
