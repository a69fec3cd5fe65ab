#pragma once

#include "audio_source.h"

#include <vector>

namespace orvane::recorder {

// A fake input for tests and benchmarks: a run of sine tones (amplitude 0 is silence),
// then the end of input.
class ToneSource final : public AudioSource {
  public:
    struct Segment {
        double seconds;
        double amplitude;  // 0 to 1 of full scale
        double frequency = 1000;
    };

    ToneSource(AudioFormat format, std::vector<Segment> segments);

    AudioFormat format() const override { return format_; }
    std::string description() const override;
    Expected<std::size_t> read(std::span<std::int16_t> buffer) override;

  private:
    AudioFormat format_;
    std::vector<Segment> segments_;
    std::size_t segment_ = 0;
    std::int64_t frameInSegment_ = 0;
};

}  // namespace orvane::recorder
