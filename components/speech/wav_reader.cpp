#include "wav_reader.h"

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
// A little-endian signed value of `bits` bits, as a 32-bit value with its sign.
std::int32_t signedSample(const char* p, int bits) {
    switch (bits) {
        case 8:
            return std::int32_t(std::uint8_t(p[0])) - 128;  // 8-bit PCM is unsigned
        case 16:
            return std::int16_t(le16(p));
        case 24:
            return std::int32_t((std::uint32_t(le16(p)) | std::uint32_t(std::uint8_t(p[2])) << 16)
                                << 8) >>
                   8;
        default:
            return std::int32_t(le32(p));
    }
}

constexpr int kFormatPcm = 1;
constexpr int kFormatFloat = 3;
constexpr int kFormatExtensible = 0xFFFE;

}  // namespace

double WavPcm::sample(qsizetype frame, int channel) const {
    const char* p = data.data() + frame * frameBytes() + channel * (bitsPerSample / 8);
    if (isFloat) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    return signedSample(p, bitsPerSample) / double(std::int64_t(1) << (bitsPerSample - 1));
}

std::int16_t WavPcm::mixed16(qsizetype frame) const {
    std::int64_t sum = 0;
    for (int c = 0; c < channels; ++c) {
        if (isFloat) {
            sum += std::int64_t(std::clamp(sample(frame, c), -1.0, 1.0) * 32767.0);
        } else {
            const std::int32_t v = signedSample(
                data.data() + frame * frameBytes() + c * (bitsPerSample / 8), bitsPerSample);
            sum += bitsPerSample > 16 ? v >> (bitsPerSample - 16) : v << (16 - bitsPerSample);
        }
    }
    return std::int16_t(sum / channels);
}

std::optional<WavPcm> readWavPcm(const QByteArray& bytes) {
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    int format = 0;
    WavPcm pcm;
    for (qsizetype pos = 12; pos + 8 <= n;) {
        const std::uint32_t size = le32(d + pos + 4);
        const qsizetype body = pos + 8;
        if (std::memcmp(d + pos, "fmt ", 4) == 0 && size >= 16 && body + 16 <= n) {
            format = le16(d + body);
            pcm.channels = le16(d + body + 2);
            pcm.sampleRate = int(le32(d + body + 4));
            pcm.bitsPerSample = le16(d + body + 14);
            if (format == kFormatExtensible && size >= 40 && body + 26 <= n) {
                format = le16(d + body + 24);  // the sub-format
            }
        } else if (std::memcmp(d + pos, "data", 4) == 0) {
            const int bits = pcm.bitsPerSample;
            pcm.isFloat = format == kFormatFloat && bits == 32;
            if ((format != kFormatPcm && !pcm.isFloat) || pcm.channels <= 0 ||
                pcm.sampleRate <= 0 || (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
                return std::nullopt;  // no fmt chunk before the data, or not PCM
            }
            const qsizetype dataSize =
                (size == 0 || body + qsizetype(size) > n) ? n - body : qsizetype(size);
            pcm.data = QByteArrayView(d + body, dataSize - dataSize % pcm.frameBytes());
            return pcm;
        }
        pos = body + qsizetype(size) + (size & 1);
    }
    return std::nullopt;
}

}  // namespace orvane::speech
