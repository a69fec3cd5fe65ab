#include "audio.h"

#include <algorithm>
#include <cstring>

namespace orvane::speech {
namespace {

std::uint32_t le32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}
std::uint16_t le16(const char* p) {
    return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8);
}

// One sample as a 32-bit signed value scaled to the 16-bit range.
std::int32_t sample16(const char* p, int bits) {
    switch (bits) {
        case 8:
            return (std::int32_t(std::uint8_t(p[0])) - 128) << 8;
        case 16:
            return std::int16_t(le16(p));
        case 24:
            return std::int32_t(std::uint32_t(le16(p + 1)) << 16) >> 16;
        default:
            return std::int32_t(le32(p)) >> 16;
    }
}

}  // namespace

void trimSilence(Audio& audio, int leadMs, int tailMs) {
    constexpr int kThreshold = 100;  // of 32767: about -50 dBFS
    auto& s = audio.samples;
    const auto audible = [](std::int16_t v) { return v > kThreshold || v < -kThreshold; };
    const auto first = std::find_if(s.begin(), s.end(), audible);
    if (first == s.end()) {
        s.clear();
        return;
    }
    const auto last = std::find_if(s.rbegin(), s.rend(), audible).base();  // one past
    const auto keepLead = std::ptrdiff_t(audio.sampleRate) * leadMs / 1000;
    const auto keepTail = std::ptrdiff_t(audio.sampleRate) * tailMs / 1000;
    const auto end = std::min(s.end(), last + std::min(keepTail, s.end() - last));
    const auto begin = first - std::min(keepLead, first - s.begin());
    s.erase(end, s.end());
    s.erase(s.begin(), begin);
}

std::optional<Audio> parseWav(const QByteArray& bytes) {
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    int format = 0, channels = 0, rate = 0, bits = 0;
    for (qsizetype pos = 12; pos + 8 <= n;) {
        const std::uint32_t size = le32(d + pos + 4);
        const qsizetype body = pos + 8;
        if (std::memcmp(d + pos, "fmt ", 4) == 0 && size >= 16 && body + 16 <= n) {
            format = le16(d + body);
            channels = le16(d + body + 2);
            rate = int(le32(d + body + 4));
            bits = le16(d + body + 14);
            if (format == 0xFFFE && size >= 40 && body + 26 <= n) {
                format = le16(d + body + 24);  // the sub-format of an extensible header
            }
        } else if (std::memcmp(d + pos, "data", 4) == 0) {
            if (format != 1 || channels <= 0 || rate <= 0 ||
                (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
                return std::nullopt;  // no fmt chunk before the data, or not integer PCM
            }
            const qsizetype available = std::min<qsizetype>(size, n - body);
            const int frameBytes = channels * bits / 8;
            const qsizetype frames = available / frameBytes;
            Audio audio;
            audio.sampleRate = rate;
            audio.samples.reserve(std::size_t(frames));
            for (qsizetype i = 0; i < frames; ++i) {
                std::int32_t sum = 0;
                for (int c = 0; c < channels; ++c) {
                    sum += sample16(d + body + i * frameBytes + c * bits / 8, bits);
                }
                audio.samples.push_back(std::int16_t(sum / channels));
            }
            return audio;
        }
        pos = body + qsizetype(size) + (size & 1);
    }
    return std::nullopt;
}

}  // namespace orvane::speech
