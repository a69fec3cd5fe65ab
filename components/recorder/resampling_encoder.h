#pragma once

#include "encoder.h"

#include <memory>

namespace orvane::recorder {

// Wraps `inner` so that samples at `inputRate` reach it at `outputRate` (libswresample).
// Equal rates give `inner` back unwrapped.
Expected<std::unique_ptr<Encoder>> withResampling(std::unique_ptr<Encoder> inner, int channels,
                                                  int inputRate, int outputRate);

}  // namespace orvane::recorder
