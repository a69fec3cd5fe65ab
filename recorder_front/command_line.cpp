#include "command_line.h"

#include <cerrno>
#include <cstdlib>

namespace trelcapg {

std::string BuildCommandLine(const RecorderSettings& s, std::string_view programName) {
    const RecorderSettings defaults;
    const bool rateInTable =
        s.outputRate >= 0 && s.outputRate < static_cast<int>(kOutputRates.size());
    const int kbps =
        kOutputRates[static_cast<std::size_t>(rateInTable ? s.outputRate : defaults.outputRate)];

    std::string line;
    line += programName;
    line += " -t " + std::to_string(s.recTime) + " -b " + std::to_string(kbps) + " -f " +
            std::to_string(s.recParam) + " ";
    if (s.boost > 0) {
        line += "-bs" + std::to_string(s.boost) + " ";
    }
    if (s.rateConversion > 0 && s.rateConversion < static_cast<int>(kRateConversions.size())) {
        line += "-sr ";
        line += kRateConversions[static_cast<std::size_t>(s.rateConversion)];
        line += " ";
    }
    switch (s.fileFormat) {
        case kGogo:
            if (s.mp3Vbr == 1) {
                line += "-v " + std::to_string(s.vbrLevel) + " ";
            }
            break;
        case kLame:
            if (s.mp3Vbr == 1) {
                line += "-LAME -v " + std::to_string(s.vbrLevel) + " ";
            }
            break;
        case kWma:
            line += "-WMA ";
            break;
        case kWav:
            line += "-WAV ";
            break;
        default:
            break;
    }
    if (s.silenceDetection == 1) {
        line += "-sl " + std::to_string(s.silenceLevel) + " -ms " +
                std::to_string(s.silencePeriod) + " ";
    }
    line += s.options + " ";
    line += "\"" + s.filePath + "\"";
    return line;
}

std::string_view FirstLine(std::string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

std::optional<int> CheckNumber(std::string_view text, int min, int max) {
    const std::string digits(FirstLine(text).substr(0, 10));
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(digits.c_str(), &end, 0);
    const bool noNumber = end == digits.c_str();
    if (noNumber || errno == ERANGE || value < min || value > max) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace trelcapg
