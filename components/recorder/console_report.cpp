#include "console_report.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace orvane::recorder {

ConsoleReport::ConsoleReport(std::FILE* out, std::FILE* errors)
    : out_(out), errors_(errors), terminal_(::isatty(::fileno(out)) != 0) {}

void ConsoleReport::say(std::string_view text) {
    endProgress();
    std::fprintf(out_, "trelcap: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(out_);
}

void ConsoleReport::fail(std::string_view text) {
    endProgress();
    std::fflush(out_);
    std::fprintf(errors_, "trelcap: error: %.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(errors_);
}

void ConsoleReport::progress(const Progress& progress) {
    if (terminal_) {
        std::fprintf(out_, "\r%s", meterLine(progress).c_str());
        meterOpen_ = true;
    } else {
        const auto whole = static_cast<long>(progress.seconds);
        if (whole == lastWholeSecond_) {
            return;
        }
        lastWholeSecond_ = whole;
        std::fprintf(out_, "%s\n", meterLine(progress).c_str());
    }
    std::fflush(out_);
}

void ConsoleReport::endProgress() {
    if (meterOpen_) {
        std::fputc('\n', out_);
        meterOpen_ = false;
    }
}

std::string meterLine(const Progress& progress, int width) {
    constexpr double kFloorDb = -60;
    const double db = progress.peak > 0 ? 20 * std::log10(progress.peak) : -200;
    const double shown = std::clamp(db, kFloorDb, 0.0);
    const int filled = static_cast<int>(std::lround((shown - kFloorDb) / -kFloorDb * width));
    char text[160];
    if (db < kFloorDb) {
        std::snprintf(text, sizeof text, "%8.1f s  [%s]   -inf dB", progress.seconds,
                      std::string(static_cast<std::size_t>(width), '.').c_str());
    } else {
        std::snprintf(text, sizeof text, "%8.1f s  [%s%s]  %5.1f dB", progress.seconds,
                      std::string(static_cast<std::size_t>(filled), '#').c_str(),
                      std::string(static_cast<std::size_t>(width - filled), '.').c_str(), db);
    }
    return text;
}

}  // namespace orvane::recorder
