#pragma once

#include <filesystem>
#include <span>
#include <string_view>

namespace orvane::recorder {

// What the recorder writes. GOGO and LAME both mean MP3 through LAME.
enum class OutputFormat { Mp3, Wav, Wma };

// ".mp3", ".wav", ".wma"
std::string_view extensionFor(OutputFormat format);
// "MP3 (LAME)", "PCM WAV", "WMA"
std::string_view nameOf(OutputFormat format);

// The sampling rates the format's encoder takes, in Hz, ascending.
std::span<const int> supportedSampleRates(OutputFormat format);
// The supported rate closest to `hz` (the lower one on a tie).
int nearestSupportedRate(OutputFormat format, double hz);

// Whether `name` ends in the format's extension, in any case.
bool hasExtensionOf(std::string_view name, OutputFormat format);

// The file the recorder leaves for the path it was given: the path as it stands if it
// already ends in the format's extension (in any case), otherwise with the extension
// appended. A name with another dot in it ("orvane-john.doe-2026...") is not taken to
// carry an extension, so callers that give a bare base name find base + extension.
std::filesystem::path finalOutputPath(std::string_view given, OutputFormat format);

// The name a recording takes when `finalPath` is taken: " (number)" before the
// extension ("out.mp3" -> "out (2).mp3").
std::filesystem::path numberedOutputPath(const std::filesystem::path& finalPath, int number);

}  // namespace orvane::recorder
