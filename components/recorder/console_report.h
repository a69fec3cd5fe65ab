#pragma once

#include "recording.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace orvane::recorder {

// What trelcap tells its console. On a terminal the meter redraws one line in place;
// elsewhere (a pipe, a file) it writes one line per recorded second.
class ConsoleReport {
  public:
    ConsoleReport(std::FILE* out, std::FILE* errors);

    // "trelcap: <text>" on the output.
    void say(std::string_view text);
    // "trelcap: error: <text>" on the error output.
    void fail(std::string_view text);
    void progress(const Progress& progress);
    // Ends the meter's line, if one is open.
    void endProgress();

  private:
    std::FILE* out_;
    std::FILE* errors_;
    bool terminal_;
    bool meterOpen_ = false;
    long lastWholeSecond_ = -1;
};

// "  12.3 s  [##########..........]  -12.0 dB": elapsed time, a bar from -60 to 0 dBFS
// of `width` characters, and the peak in dBFS.
std::string meterLine(const Progress& progress, int width = 30);

}  // namespace orvane::recorder
