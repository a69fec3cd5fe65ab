// The recorder's command line, built from the settings record, and the number check
// the dialog applies to its numeric boxes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "recorder_settings.h"

namespace trelcapg {

// The recorder's executable name, as it stands first on its command line.
inline constexpr std::string_view kRecorderProgramName = "trelcap";

// The recorder's command line for the record: program name, -t, -b, -f, then the
// optional -bs, -sr, encoder, silence pieces, the options as typed, and the output path
// in double quotes. Every piece but the path ends in one blank. An output rate index
// outside its table counts as the default rate; a conversion index outside its table
// adds nothing.
std::string BuildCommandLine(const RecorderSettings& settings,
                             std::string_view programName = kRecorderProgramName);

// The number check of the dialog's numeric boxes: the first line of text, at most ten
// characters, read as C's strtol does with base 0 (blanks skipped, optional sign, "0x"
// hexadecimal, leading "0" octal, reading stops at the first character that does not
// fit). The value if it lies in [min, max], else nothing.
std::optional<int> CheckNumber(std::string_view text, int min, int max);

// The first line of text (up to the first CR or LF).
std::string_view FirstLine(std::string_view text);

}  // namespace trelcapg
