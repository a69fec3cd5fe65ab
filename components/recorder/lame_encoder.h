#pragma once

#include "encoder.h"

#include <memory>
#include <string>

namespace orvane::recorder {

// MP3 through libmp3lame. The file starts with LAME's info frame so that players
// know the exact length, VBR included.
Expected<std::unique_ptr<Encoder>> openLameEncoder(const EncoderSettings& settings,
                                                   const AudioFormat& input,
                                                   const std::string& path);

}  // namespace orvane::recorder
