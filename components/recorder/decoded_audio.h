#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvane::recorder::testing {

// What an independent decoder makes of a recorded file.
struct DecodedAudio {
    int sampleRate = 0;
    int channels = 0;
    double seconds = 0;
    double peak = 0;  // 0 to 1 of full scale
};

// Decodes an MP3 file with libmpg123 (gapless, so encoder padding is not counted).
std::optional<DecodedAudio> decodeMp3(const std::string& path);
// Decodes any file libavformat/libavcodec read (used for WMA).
std::optional<DecodedAudio> decodeWithLibav(const std::string& path);
// Reads a WAV file with libsndfile.
std::optional<DecodedAudio> decodeWav(const std::string& path);

// One stretch of a test tone: its length and its amplitude (0 to 1 of full scale).
struct ToneSegment {
    double seconds;
    double amplitude;
};
// Writes a sine of hz, in the given stretches, as a 16-bit (or 8-bit) PCM WAV file (every
// channel alike) with libsndfile. Returns whether the whole file was written.
bool writeToneWav(const std::string& path, const std::vector<ToneSegment>& segments, int rate,
                  int channels, double hz, int bits = 16);

}  // namespace orvane::recorder::testing
