// The front end's settings record, its fixed choice lists and its settings file.
//
// The settings file is the raw image of one record: 1068 bytes, no header, integers
// little-endian, the two texts NUL-terminated in fixed 512-byte slots (UTF-8 here).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "expected.h"

namespace trelcapg {

// One recording's parameters, as the dialog edits them. Texts are UTF-8 bytes.
struct RecorderSettings {
    std::string filePath{};           // the output file
    std::int32_t recParam = 12;       // capture format number, 1..16 (Rec Param row + 1)
    std::int32_t boost = 0;           // 0..2
    std::int32_t recTime = 60;        // seconds, 1..604799
    std::int32_t outputRate = 5;      // index into kOutputRates
    std::int32_t rateConversion = 0;  // index into kRateConversions
    std::int32_t fileFormat = 0;      // FileFormat
    std::int32_t silenceDetection = 0;
    std::int32_t silenceLevel = 10;  // thousandths, 1..99
    std::int32_t silencePeriod = 3;  // seconds, 1..29
    std::int32_t mp3Vbr = 0;
    std::int32_t vbrLevel = 6;  // 0..9
    std::string options{};      // extra switches, passed as typed

    // Puts every field back to its default (both texts empty).
    void SetDefaults() { *this = RecorderSettings{}; }

    friend bool operator==(const RecorderSettings&, const RecorderSettings&) = default;
};

enum FileFormat : std::int32_t { kGogo = 0, kLame = 1, kWma = 2, kWav = 3 };

// The fixed lists, in the order the dialog shows them.
inline constexpr std::array<std::string_view, 16> kRecParamNames = {
    "11kHz, Mono, 8-bit", "11kHz, Stereo, 8-bit", "11kHz, Mono, 16-bit", "11kHz, Stereo, 16-bit",
    "22kHz, Mono, 8-bit", "22kHz, Stereo, 8-bit", "22kHz, Mono, 16-bit", "22kHz, Stereo, 16-bit",
    "44kHz, Mono, 8-bit", "44kHz, Stereo, 8-bit", "44kHz, Mono, 16-bit", "44kHz, Stereo, 16-bit",
    "48kHz, Mono, 8-bit", "48kHz, Stereo, 8-bit", "48kHz, Mono, 16-bit", "48kHz, Stereo, 16-bit"};
inline constexpr std::array<int, 10> kOutputRates = {32, 48, 64, 96, 112, 128, 160, 192, 256, 320};
inline constexpr std::array<std::string_view, 3> kRateConversions = {"---", "32.0", "44.1"};
inline constexpr std::array<std::string_view, 4> kFileFormatNames = {"GOGO", "LAME", "WMA", "WAV"};
inline constexpr int kBoostCount = 3;
inline constexpr int kVbrLevelCount = 10;

// Limits the dialog keeps: characters for the texts, inclusive ranges for the numbers.
inline constexpr int kFilePathMaxChars = 260;
inline constexpr int kOptionsMaxChars = 511;
inline constexpr int kRecTimeMin = 1, kRecTimeMax = 604799;
inline constexpr int kSilenceLevelMin = 1, kSilenceLevelMax = 99;
inline constexpr int kSilencePeriodMin = 1, kSilencePeriodMax = 29;

// The file image.
inline constexpr std::size_t kSettingsFileSize = 1068;
inline constexpr std::size_t kTextSlotSize = 512;
using SettingsImage = std::array<std::byte, kSettingsFileSize>;

// The record as its file image. A text longer than its slot allows (511 bytes) is cut at
// the last whole UTF-8 character that fits, so the terminator always stands in the slot.
SettingsImage EncodeSettings(const RecorderSettings& settings);

// The record from a file image of any length. Only the first 1068 bytes count; a field
// the bytes do not wholly reach keeps its default (a text keeps what the bytes hold, up
// to its terminator). A number outside its range is replaced by that field's default, so
// no later table look-up can fall outside its table.
RecorderSettings DecodeSettings(std::span<const std::byte> bytes);

// "%s.dat" after the executable's name without folder and extension.
std::string SettingsFileName(std::string_view executablePath);

// Reads the settings file; a missing, locked (by another holder of an exclusive lock)
// or unreadable file gives the defaults.
RecorderSettings LoadSettings(const std::string& path);

// Writes the record as the settings file: a new file takes the old one's place whole,
// so a crash or a full disk leaves the old record or the new one, never a cut one. A
// file locked elsewhere is left alone. The new file keeps the old one's permissions.
// The front end passes over a failure silently; the reason is there for others.
orvane::Expected<void> SaveSettings(const std::string& path, const RecorderSettings& settings);

}  // namespace trelcapg
