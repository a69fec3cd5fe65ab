#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane::speech {

// A piece of synthesised speech: mono 16-bit samples at `sampleRate`.
struct Audio {
    int sampleRate = 0;
    std::vector<std::int16_t> samples;

    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

// Shortens the silence before the first and after the last audible sample (above
// about -50 dBFS) to at most `leadMs` and `tailMs`. Engines pad every utterance with
// half a second or more on each side; trimmed, queued texts follow each other at a
// natural pace and speech is heard sooner.
void trimSilence(Audio& audio, int leadMs, int tailMs);

// Reads a PCM WAV file's bytes (see readWavPcm; channels are mixed to mono). nullopt
// if the bytes are not such a file.
std::optional<Audio> parseWav(const QByteArray& bytes);

// A sine beep at half of full scale, faded in and out over a few milliseconds so that
// it starts and ends without a click.
Audio makeTone(int hertz, int milliseconds, int sampleRate);

// `audio` at `sampleRate` (linear interpolation; for devices that refuse a rate).
Audio resampled(const Audio& audio, int sampleRate);

}  // namespace orvane::speech
