#pragma once

#include "encoder.h"

#include <memory>
#include <string>

namespace orvane::recorder {

// PCM WAV through libsndfile: 8-bit (unsigned) when the input was captured at 8 bits,
// 16-bit otherwise.
Expected<std::unique_ptr<Encoder>> openWavEncoder(const AudioFormat& input,
                                                  const std::string& path);

}  // namespace orvane::recorder
