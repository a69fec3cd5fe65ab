#pragma once

#include "audio.h"

#include <optional>
#include <utility>

namespace orvane::speech {

// Audio that the speech queue plays as it stands (a sound file, a beep), handed out
// block by block so that a long clip costs only the blocks waiting to be played.
// The queue's synthesis thread alone calls next(), after the clip was made on
// another thread.
class ClipSource {
  public:
    virtual ~ClipSource() = default;
    // The next block (mono, 16-bit, at the block's own rate); no samples at the end.
    virtual Audio next() = 0;
};

// A clip already in memory, handed out in one block.
class AudioClip final : public ClipSource {
  public:
    explicit AudioClip(Audio audio) : audio_(std::move(audio)) {}
    Audio next() override { return std::exchange(audio_, Audio{}); }

  private:
    Audio audio_;
};

}  // namespace orvane::speech
