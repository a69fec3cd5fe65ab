#pragma once

#include <cstdint>
#include <span>

namespace orvane::recorder {

// Multiplies every sample by `factor`, clipping at the 16-bit limits instead of
// wrapping around.
void applyGain(std::span<std::int16_t> samples, int factor);

// The gain of a boost level: 0 -> 1, 1 -> 2 (+6 dB), 2 -> 4 (+12 dB).
int gainForBoost(int boost);

// The largest magnitude in `samples`, 0 to 1 of full scale (0 for none).
double peakLevel(std::span<const std::int16_t> samples);

// Tells when the level has stayed below a threshold for long enough.
class SilenceDetector {
  public:
    // threshold: 0 to 1 of full scale; seconds: how long it must stay below.
    SilenceDetector(double threshold, double seconds, int sampleRate);

    // Feeds the peak of the next `frames` frames. True once the quiet run that ends
    // with them has lasted the whole period.
    bool feed(double peak, std::int64_t frames);

  private:
    double threshold_;
    std::int64_t periodFrames_;
    std::int64_t quietFrames_ = 0;
};

}  // namespace orvane::recorder
