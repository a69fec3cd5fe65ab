#pragma once

#include "audio_source.h"
#include "encoder.h"
#include "recorder_options.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvane::recorder {

struct RecordingPlan {
    std::optional<std::int64_t> maxFrames;  // unset: until the input ends or an interrupt
    int gain = 1;                           // see gainForBoost()
    std::optional<SilenceRule> silence;
    int blockMilliseconds = 100;  // how much is read, metered and encoded at once
};

enum class StopReason { TimeUp, EndOfInput, Interrupted, Silence };

struct RecordingOutcome {
    StopReason reason = StopReason::TimeUp;
    std::int64_t frames = 0;  // frames taken from the source and handed to the encoder
};

struct Progress {
    double seconds = 0;  // recorded so far
    double peak = 0;     // of the last block, 0 to 1 of full scale, after the gain
};

// Moves samples from `source` through the gain to `encoder` until the plan's time is
// up, the input ends, the level stays below the silence rule, or `interrupted` turns
// true (checked between blocks). Calls onProgress after every block. Leaves
// encoder.finish() to the caller, also after a failure.
Expected<RecordingOutcome> record(AudioSource& source, Encoder& encoder, const RecordingPlan& plan,
                                  const std::atomic<bool>& interrupted,
                                  const std::function<void(const Progress&)>& onProgress = {});

}  // namespace orvane::recorder
