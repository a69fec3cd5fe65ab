#include "virtual_sound.h"

#include <QFile>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace orvane::testing {
namespace {

std::uint32_t le32(const char* p) {
    return std::uint32_t(std::uint8_t(p[0])) | std::uint32_t(std::uint8_t(p[1])) << 8 |
           std::uint32_t(std::uint8_t(p[2])) << 16 | std::uint32_t(std::uint8_t(p[3])) << 24;
}
std::uint16_t le16(const char* p) {
    return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8);
}

// One sample at `p` as a value in -1..1.
double sampleAt(const char* p, int bits, bool isFloat) {
    if (isFloat) {
        float f;
        std::memcpy(&f, p, sizeof f);
        return f;
    }
    switch (bits) {
        case 8:
            return (std::uint8_t(p[0]) - 128) / 128.0;
        case 16:
            return std::int16_t(le16(p)) / 32768.0;
        case 24: {
            const std::int32_t v = std::int32_t((std::uint32_t(std::uint8_t(p[0])) |
                                                 std::uint32_t(std::uint8_t(p[1])) << 8 |
                                                 std::uint32_t(std::uint8_t(p[2])) << 16)
                                                << 8) >>
                                   8;
            return v / 8388608.0;
        }
        default:
            return std::int32_t(le32(p)) / 2147483648.0;
    }
}

}  // namespace

std::optional<WavStats> measureWav(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = f.readAll();
    const char* d = bytes.constData();
    const qsizetype n = bytes.size();
    if (n < 12 || std::memcmp(d, "RIFF", 4) != 0 || std::memcmp(d + 8, "WAVE", 4) != 0) {
        return std::nullopt;
    }
    int format = 0, channels = 0, rate = 0, bits = 0;
    const char* data = nullptr;
    qsizetype dataSize = 0;
    for (qsizetype pos = 12; pos + 8 <= n;) {
        const std::uint32_t size = le32(d + pos + 4);
        const qsizetype body = pos + 8;
        if (std::memcmp(d + pos, "fmt ", 4) == 0 && size >= 16 && body + 16 <= n) {
            format = le16(d + body);
            channels = le16(d + body + 2);
            rate = int(le32(d + body + 4));
            bits = le16(d + body + 14);
            if (format == 0xFFFE && size >= 40 && body + 26 <= n) {
                format = le16(d + body + 24);  // WAVE_FORMAT_EXTENSIBLE sub-format
            }
        } else if (std::memcmp(d + pos, "data", 4) == 0) {
            data = d + body;
            // A size of 0 or past the end: the writer never came back to fill it in.
            dataSize = (size == 0 || body + qsizetype(size) > n) ? n - body : qsizetype(size);
            break;
        }
        pos = body + qsizetype(size) + (size & 1);
    }
    const bool isFloat = format == 3 && bits == 32;
    if (!data || (format != 1 && !isFloat) || channels <= 0 || rate <= 0 ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        return std::nullopt;
    }
    const int frameBytes = channels * bits / 8;
    const qsizetype frames = dataSize / frameBytes;
    WavStats stats;
    stats.sampleRate = rate;
    stats.channels = channels;
    stats.seconds = double(frames) / rate;

    const qsizetype window = std::max<qsizetype>(1, rate / 100);
    double total = 0, windowSum = 0;
    qsizetype inWindow = 0, audibleWindows = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        double mixed = 0;
        for (int c = 0; c < channels; ++c) {
            mixed += sampleAt(data + i * frameBytes + c * bits / 8, bits, isFloat);
        }
        mixed /= channels;
        stats.peak = std::max(stats.peak, std::abs(mixed));
        total += mixed * mixed;
        windowSum += mixed * mixed;
        if (++inWindow == window) {
            if (std::sqrt(windowSum / window) > 0.01) {
                ++audibleWindows;
            }
            windowSum = 0;
            inWindow = 0;
        }
    }
    stats.rms = frames ? std::sqrt(total / frames) : 0;
    stats.audibleSeconds = double(audibleWindows * window) / rate;
    return stats;
}

}  // namespace orvane::testing
