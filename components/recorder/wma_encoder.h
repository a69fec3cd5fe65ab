#pragma once

#include "encoder.h"

#include <memory>
#include <string>

namespace orvane::recorder {

// WMA (version 2) in an ASF file, through libavcodec and libavformat. Fails with a
// clear message when the libraries at hand have no WMA encoder.
Expected<std::unique_ptr<Encoder>> openWmaEncoder(const EncoderSettings& settings,
                                                  const AudioFormat& input,
                                                  const std::string& path);

}  // namespace orvane::recorder
