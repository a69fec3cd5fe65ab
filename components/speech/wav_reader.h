#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <optional>

namespace orvane::speech {

// The PCM samples of a WAV file: integer (8/16/24/32-bit) or 32-bit float, any
// channel count. `data` points into the bytes given to readWavPcm and holds whole
// frames only.
struct WavPcm {
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    QByteArrayView data;

    int frameBytes() const { return channels * bitsPerSample / 8; }
    qsizetype frames() const { return data.size() / frameBytes(); }
    double seconds() const { return double(frames()) / sampleRate; }
    // One sample in -1..1.
    double sample(qsizetype frame, int channel) const;
    // One frame, its channels mixed, on the 16-bit scale (integer samples keep their
    // top 16 bits exactly).
    std::int16_t mixed16(qsizetype frame) const;
};

// Finds the fmt and data chunks of a RIFF WAVE file wherever they stand (other
// chunks, odd sizes padded). A data chunk whose size is 0 or runs past the end (a
// writer that was stopped before it came back to fill it in) reaches to the end of
// the bytes. nullopt if the bytes are not such a file, or the data chunk comes
// before the fmt chunk. The result refers to `bytes`: keep them alive.
std::optional<WavPcm> readWavPcm(const QByteArray& bytes);

}  // namespace orvane::speech
