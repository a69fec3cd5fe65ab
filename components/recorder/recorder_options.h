#pragma once

#include "output_format.h"
#include "recorder_failure.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::recorder {

// Stop once the level has stayed below levelThousandths / 1000 of full scale for
// `seconds` seconds.
struct SilenceRule {
    int levelThousandths = 10;
    int seconds = 3;

    friend bool operator==(const SilenceRule&, const SilenceRule&) = default;
};

// What one run of trelcap was asked to do.
struct RecorderOptions {
    std::optional<int> seconds{};       // -t; unset: 60 s from the device, the whole file with -i
    int bitrateKbps = 128;              // -b
    int captureFormat = 12;             // -f, 1 to 16
    int boost = 0;                      // -bs1 (x2), -bs2 (x4)
    std::optional<double> targetKhz{};  // -sr, as given
    std::optional<int> vbrLevel{};      // -v, 0 (best) to 9
    OutputFormat format = OutputFormat::Mp3;  // -WAV, -WMA; -LAME and -GOGO mean MP3
    std::optional<SilenceRule> silence{};     // -sl / -ms
    std::optional<std::string> inputFile{};   // -i: read a WAV file instead of the device
    bool realTimeInput = false;               // -realtime: deliver -i at the pace of a device
    bool showHelp = false;                    // -h
    std::string outputPath{};                 // the last argument

    friend bool operator==(const RecorderOptions&, const RecorderOptions&) = default;
};

// Brings the arguments of the two ways trelcap is started to one form:
//  - a whole command line passed as one argument ("-t 5 ... \"x\"") is split;
//  - arguments that still carry the command line's double quotes (a caller that split
//    at blanks without honouring quotes) are joined and split again;
//  - a leading program name (trelcap, trelcap.exe, trelcap28\trelcap.exe) is dropped.
std::vector<std::string> normalizeArguments(std::vector<std::string> args);

// Parses normalised arguments (without the program name). Switches are matched
// without regard to case; the output path is the last argument.
Expected<RecorderOptions> parseArguments(const std::vector<std::string>& args);

// The usage text for -h and for a bad command line.
std::string_view usageText();

}  // namespace orvane::recorder
