#include "output_format.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <string>

namespace orvane::recorder {

namespace {

constexpr std::array<int, 9> kMp3Rates{8000,  11025, 12000, 16000, 22050,
                                       24000, 32000, 44100, 48000};
constexpr std::array<int, 9> kWavRates = kMp3Rates;
constexpr std::array<int, 7> kWmaRates{8000, 11025, 16000, 22050, 32000, 44100, 48000};

}  // namespace

std::string_view extensionFor(OutputFormat format) {
    switch (format) {
        case OutputFormat::Wav:
            return ".wav";
        case OutputFormat::Wma:
            return ".wma";
        case OutputFormat::Mp3:
            break;
    }
    return ".mp3";
}

std::string_view nameOf(OutputFormat format) {
    switch (format) {
        case OutputFormat::Wav:
            return "PCM WAV";
        case OutputFormat::Wma:
            return "WMA";
        case OutputFormat::Mp3:
            break;
    }
    return "MP3 (LAME)";
}

std::span<const int> supportedSampleRates(OutputFormat format) {
    switch (format) {
        case OutputFormat::Wav:
            return kWavRates;
        case OutputFormat::Wma:
            return kWmaRates;
        case OutputFormat::Mp3:
            break;
    }
    return kMp3Rates;
}

int nearestSupportedRate(OutputFormat format, double hz) {
    const auto rates = supportedSampleRates(format);
    int best = rates.front();
    for (int rate : rates) {
        if (std::abs(rate - hz) < std::abs(best - hz)) {
            best = rate;
        }
    }
    return best;
}

bool hasExtensionOf(std::string_view name, OutputFormat format) {
    const auto extension = extensionFor(format);
    return name.size() >= extension.size() &&
           std::equal(extension.begin(), extension.end(),
                      name.end() - static_cast<long>(extension.size()), [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

std::filesystem::path finalOutputPath(std::string_view given, OutputFormat format) {
    if (hasExtensionOf(given, format)) {
        return std::filesystem::path(given);
    }
    return std::filesystem::path(std::string(given) + std::string(extensionFor(format)));
}

std::filesystem::path numberedOutputPath(const std::filesystem::path& finalPath, int number) {
    auto numbered = finalPath;
    numbered.replace_filename(finalPath.stem().string() + " (" + std::to_string(number) + ")" +
                              finalPath.extension().string());
    return numbered;
}

}  // namespace orvane::recorder
