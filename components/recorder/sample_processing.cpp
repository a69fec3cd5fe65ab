#include "sample_processing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvane::recorder {

void applyGain(std::span<std::int16_t> samples, int factor) {
    if (factor == 1) {
        return;
    }
    constexpr int kLow = std::numeric_limits<std::int16_t>::min();
    constexpr int kHigh = std::numeric_limits<std::int16_t>::max();
    for (auto& sample : samples) {
        sample = static_cast<std::int16_t>(std::clamp(sample * factor, kLow, kHigh));
    }
}

int gainForBoost(int boost) {
    return boost <= 0 ? 1 : 1 << std::min(boost, 2);
}

double peakLevel(std::span<const std::int16_t> samples) {
    int peak = 0;
    for (auto sample : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(sample)));
    }
    return std::min(1.0, peak / 32767.0);
}

SilenceDetector::SilenceDetector(double threshold, double seconds, int sampleRate)
    : threshold_(threshold), periodFrames_(std::llround(seconds * sampleRate)) {}

bool SilenceDetector::feed(double peak, std::int64_t frames) {
    quietFrames_ = peak < threshold_ ? quietFrames_ + frames : 0;
    return quietFrames_ >= periodFrames_;
}

}  // namespace orvane::recorder
