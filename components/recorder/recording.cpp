#include "recording.h"

#include "sample_processing.h"

#include <algorithm>
#include <vector>

namespace orvane::recorder {

Expected<RecordingOutcome> record(AudioSource& source, Encoder& encoder, const RecordingPlan& plan,
                                  const std::atomic<bool>& interrupted,
                                  const std::function<void(const Progress&)>& onProgress) {
    const AudioFormat format = source.format();
    const auto channels = static_cast<std::size_t>(format.channels);
    const std::int64_t blockFrames =
        std::max<std::int64_t>(1, std::int64_t{format.sampleRate} * plan.blockMilliseconds / 1000);
    std::vector<std::int16_t> block;
    std::optional<SilenceDetector> silence;
    if (plan.silence) {
        silence.emplace(plan.silence->levelThousandths / 1000.0, plan.silence->seconds,
                        format.sampleRate);
    }

    RecordingOutcome outcome;
    while (true) {
        if (interrupted.load()) {
            outcome.reason = StopReason::Interrupted;
            break;
        }
        std::int64_t wanted = blockFrames;
        if (plan.maxFrames) {
            wanted = std::min(wanted, *plan.maxFrames - outcome.frames);
            if (wanted <= 0) {
                outcome.reason = StopReason::TimeUp;
                break;
            }
        }
        block.resize(static_cast<std::size_t>(wanted) * channels);
        auto got = source.read(block);
        if (!got) {
            return got.failure();
        }
        if (*got == 0) {
            outcome.reason = StopReason::EndOfInput;
            break;
        }
        const std::span<std::int16_t> samples(block.data(), *got);
        applyGain(samples, plan.gain);
        if (auto written = encoder.write(samples); !written) {
            return written.failure();
        }
        const auto frames = static_cast<std::int64_t>(*got / channels);
        outcome.frames += frames;
        const double peak = peakLevel(samples);
        if (onProgress) {
            onProgress(Progress{static_cast<double>(outcome.frames) / format.sampleRate, peak});
        }
        if (silence && silence->feed(peak, frames)) {
            outcome.reason = StopReason::Silence;
            break;
        }
    }
    return outcome;
}

}  // namespace orvane::recorder
