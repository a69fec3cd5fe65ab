#include "audio_format.h"

#include <array>

namespace orvane::recorder {

std::optional<AudioFormat> captureFormat(int number) {
    static constexpr std::array<int, 4> kRates{11025, 22050, 44100, 48000};
    if (number < 1 || number > 16) {
        return std::nullopt;
    }
    const int index = number - 1;
    return AudioFormat{kRates[static_cast<std::size_t>(index / 4)], (index & 1) ? 2 : 1,
                       (index & 2) ? 16 : 8};
}

std::string describe(const AudioFormat& format) {
    std::string channels = format.channels == 1   ? "mono"
                           : format.channels == 2 ? "stereo"
                                                  : std::to_string(format.channels) + " channels";
    return std::to_string(format.sampleRate) + " Hz, " + channels + ", " +
           std::to_string(format.bitsPerSample) + "-bit";
}

}  // namespace orvane::recorder
