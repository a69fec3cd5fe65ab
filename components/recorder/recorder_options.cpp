#include "recorder_options.h"

#include "command_line_split.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>

namespace orvane::recorder {

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

bool isProgramName(std::string_view arg) {
    const auto slash = arg.find_last_of("/\\");
    const auto name = lower(slash == std::string_view::npos ? arg : arg.substr(slash + 1));
    return name == "trelcap" || name == "trelcap.exe";
}

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseDecimal(std::string_view text) {
    double value = 0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

Failure badValue(std::string_view option, std::string_view value, std::string_view range) {
    return failure(FailureKind::BadInput, "bad value \"" + std::string(value) + "\" for " +
                                              std::string(option) + " (" + std::string(range) +
                                              ")");
}

struct IntSwitch {
    std::string_view name;
    int low;
    int high;
    std::string_view range;
};

}  // namespace

std::vector<std::string> normalizeArguments(std::vector<std::string> args) {
    bool wholeLine = false;
    if (args.size() == 1) {
        const auto tokens = splitCommandLine(args.front());
        wholeLine =
            tokens.size() > 1 && ((!tokens.front().empty() && tokens.front().front() == '-') ||
                                  isProgramName(tokens.front()));
    }
    const bool carriesQuotes = std::any_of(args.begin(), args.end(), [](const std::string& a) {
        return a.find('"') != std::string::npos;
    });
    if (wholeLine || carriesQuotes) {
        std::string joined;
        for (const auto& arg : args) {
            if (!joined.empty()) {
                joined.push_back(' ');
            }
            joined += arg;
        }
        args = splitCommandLine(joined);
    }
    if (!args.empty() && isProgramName(args.front())) {
        args.erase(args.begin());
    }
    return args;
}

Expected<RecorderOptions> parseArguments(const std::vector<std::string>& args) {
    static constexpr std::array kIntSwitches{
        IntSwitch{"-t", 1, 604799, "seconds, 1 to 604799"},
        IntSwitch{"-b", 8, 320, "kbps, 8 to 320"},
        IntSwitch{"-f", 1, 16, "capture format, 1 to 16"},
        IntSwitch{"-v", 0, 9, "VBR level, 0 to 9"},
        IntSwitch{"-sl", 1, 999, "thousandths of full scale, 1 to 999"},
        IntSwitch{"-ms", 1, 3600, "seconds, 1 to 3600"},
        IntSwitch{"-bs", 0, 2, "boost, 0 to 2"},
    };

    RecorderOptions options;
    std::optional<int> silenceLevel;
    std::optional<int> silenceSeconds;
    std::optional<std::string> output;

    const auto setInt = [&](std::string_view name, int value) {
        if (name == "-t") {
            options.seconds = value;
        } else if (name == "-b") {
            options.bitrateKbps = value;
        } else if (name == "-f") {
            options.captureFormat = value;
        } else if (name == "-v") {
            options.vbrLevel = value;
        } else if (name == "-sl") {
            silenceLevel = value;
        } else if (name == "-ms") {
            silenceSeconds = value;
        } else if (name == "-bs") {
            options.boost = value;
        }
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string key = lower(arg);
        const bool last = i + 1 == args.size();
        const auto nextValue = [&]() -> std::optional<std::string> {
            if (last) {
                return std::nullopt;
            }
            return args[++i];
        };

        const auto intSwitch = std::find_if(kIntSwitches.begin(), kIntSwitches.end(),
                                            [&](const IntSwitch& s) { return s.name == key; });
        if (intSwitch != kIntSwitches.end()) {
            const auto text = nextValue();
            if (!text) {
                return failure(FailureKind::BadInput,
                               std::string(intSwitch->name) + " needs a value");
            }
            const auto value = parseInt(*text);
            if (!value || *value < intSwitch->low || *value > intSwitch->high) {
                return badValue(intSwitch->name, *text, intSwitch->range);
            }
            setInt(intSwitch->name, *value);
        } else if (key == "-bs0" || key == "-bs1" || key == "-bs2") {
            options.boost = key.back() - '0';
        } else if (key == "-sr") {
            const auto text = nextValue();
            if (!text) {
                return failure(FailureKind::BadInput, "-sr needs a value");
            }
            const auto khz = parseDecimal(*text);
            if (!khz || *khz < 1 || *khz > 192) {
                return badValue("-sr", *text, "kHz, for example 32.0 or 44.1");
            }
            options.targetKhz = *khz;
        } else if (key == "-lame" || key == "-gogo") {
            options.format = OutputFormat::Mp3;
        } else if (key == "-wav") {
            options.format = OutputFormat::Wav;
        } else if (key == "-wma") {
            options.format = OutputFormat::Wma;
        } else if (key == "-i") {
            const auto text = nextValue();
            if (!text || text->empty()) {
                return failure(FailureKind::BadInput, "-i needs a file name");
            }
            options.inputFile = *text;
        } else if (key == "-realtime") {
            options.realTimeInput = true;
        } else if (key == "-h" || key == "-help" || key == "--help" || key == "-?") {
            options.showHelp = true;
        } else if (last) {
            output = arg;
        } else if (!arg.empty() && arg.front() == '-') {
            return failure(FailureKind::BadInput, "unknown switch " + arg);
        } else {
            return failure(FailureKind::BadInput,
                           "unexpected argument \"" + arg + "\": the output file must come last");
        }
    }

    if (options.showHelp) {
        return options;
    }
    if (!output || output->empty()) {
        return failure(FailureKind::BadInput,
                       "no output file given (it comes last, for example \"voice\")");
    }
    options.outputPath = *output;
    if (silenceLevel || silenceSeconds) {
        options.silence = SilenceRule{silenceLevel.value_or(SilenceRule{}.levelThousandths),
                                      silenceSeconds.value_or(SilenceRule{}.seconds)};
    }
    if (options.realTimeInput && !options.inputFile) {
        return failure(FailureKind::BadInput, "-realtime needs -i");
    }
    return options;
}

std::string_view usageText() {
    return "usage: trelcap [switches] \"OUTPUT\"\n"
           "  -t SECONDS   recording time (default 60)\n"
           "  -b KBPS      MP3/WMA bit rate (default 128)\n"
           "  -f NUMBER    capture format 1-16: 4*(11/22/44/48 kHz as 0-3) + 2*(16-bit)\n"
           "               + (stereo) + 1; default 12 = 44 kHz, stereo, 16-bit\n"
           "  -bs1, -bs2   boost the level x2 or x4 (clipped, never wrapped)\n"
           "  -sr KHZ      convert to the nearest sampling rate the encoder takes\n"
           "  -v LEVEL     MP3 VBR at quality 0 (best) to 9 instead of a fixed bit rate\n"
           "  -LAME, -GOGO MP3 through LAME (the default)\n"
           "  -WAV, -WMA   write PCM WAV or WMA instead of MP3\n"
           "  -sl LEVEL    silence level in thousandths of full scale (default 10)\n"
           "  -ms SECONDS  stop after this long below the silence level (default 3)\n"
           "  -i FILE      read a WAV file (up to 384 kHz) instead of the default input\n"
           "               device\n"
           "  -realtime    with -i: read the file at the pace of a device\n"
           "OUTPUT without the format's extension gets it appended. An existing file\n"
           "is never replaced: the recording then gets \" (2)\", \" (3)\" ... before\n"
           "the extension.\n"
           "Ctrl+C ends the recording early and keeps what was recorded.\n";
}

}  // namespace orvane::recorder
