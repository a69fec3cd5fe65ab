#pragma once

#include "console_report.h"
#include "recorder_options.h"

#include <atomic>

namespace orvane::recorder {

// Exit statuses of trelcap.
enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// Runs one recording as `options` say: opens the output (under a temporary name),
// the source (the default input device, or -i's file) and the encoder, records until
// the time is up, the input ends, silence, or `interrupted`, then completes the file
// and gives it its final name. Every failure is one line on `report` and leaves no
// file under the output name. An interrupted recording is kept and counts as success.
ExitStatus runRecording(const RecorderOptions& options, ConsoleReport& report,
                        const std::atomic<bool>& interrupted);

}  // namespace orvane::recorder
