#pragma once

#include <optional>
#include <string>

namespace orvane::recorder {

// The shape of interleaved PCM. Samples always travel as 16-bit integers;
// bitsPerSample says how finely the source quantised them (8 or 16), which a
// PCM WAV output keeps.
struct AudioFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16;

    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// The capture format numbers 1 to 16 that the -f switch takes:
// number = 4 * rate group (11, 22, 44, 48 kHz) + 2 * (16-bit) + (stereo) + 1.
std::optional<AudioFormat> captureFormat(int number);

// "44100 Hz, stereo, 16-bit"
std::string describe(const AudioFormat& format);

}  // namespace orvane::recorder
