#pragma once

#include <QString>

namespace orvane::speech::bench {

// Prints the clip and stop figures: stop() to the last audible sample and playMp3 to
// the first one, measured at the private PulseAudio's monitor (skipped without it),
// and the memory of an hour-long voice mail being played. `soundDevice` says
// whether the private PulseAudio is up.
void printClipFigures(bool soundDevice, const QString& workDir);

}  // namespace orvane::speech::bench
