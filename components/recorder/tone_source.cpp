#include "tone_source.h"

#include <cmath>
#include <numbers>

namespace orvane::recorder {

ToneSource::ToneSource(AudioFormat format, std::vector<Segment> segments)
    : format_(format), segments_(std::move(segments)) {}

std::string ToneSource::description() const {
    return "test tones (" + describe(format_) + ")";
}

Expected<std::size_t> ToneSource::read(std::span<std::int16_t> buffer) {
    const auto channels = static_cast<std::size_t>(format_.channels);
    std::size_t written = 0;
    while (written + channels <= buffer.size() && segment_ < segments_.size()) {
        const Segment& segment = segments_[segment_];
        const auto length = std::llround(segment.seconds * format_.sampleRate);
        if (frameInSegment_ >= length) {
            ++segment_;
            frameInSegment_ = 0;
            continue;
        }
        const double t = static_cast<double>(frameInSegment_) / format_.sampleRate;
        const auto value = static_cast<std::int16_t>(std::lround(
            segment.amplitude * 32767 * std::sin(2 * std::numbers::pi * segment.frequency * t)));
        for (std::size_t c = 0; c < channels; ++c) {
            buffer[written++] = value;
        }
        ++frameInSegment_;
    }
    return written;
}

}  // namespace orvane::recorder
