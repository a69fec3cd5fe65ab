// Failures in the tests show the recorder's options readably.
#pragma once

#include "output_format.h"
#include "recorder_options.h"

#include <ostream>

namespace orvane::recorder {

inline void PrintTo(const RecorderOptions& o, std::ostream* out) {
    const auto value = [](const auto& v) { return v ? std::to_string(*v) : std::string("-"); };
    *out << "{-t " << value(o.seconds) << " -b " << o.bitrateKbps << " -f " << o.captureFormat
         << " -bs " << o.boost << " -sr " << value(o.targetKhz) << " -v " << value(o.vbrLevel)
         << ' ' << nameOf(o.format) << " -sl "
         << (o.silence ? std::to_string(o.silence->levelThousandths) : "-") << " -ms "
         << (o.silence ? std::to_string(o.silence->seconds) : "-") << " -i "
         << o.inputFile.value_or("-") << (o.realTimeInput ? " -realtime" : "")
         << (o.showHelp ? " -h" : "") << " \"" << o.outputPath << "\"}";
}

}  // namespace orvane::recorder
