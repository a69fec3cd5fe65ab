// trelcap: records from the default input device (or a WAV file) and encodes to
// MP3, WAV or WMA. Run with -h for the switches.
#include "recorder_options.h"
#include "recorder_session.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) {
    interrupted.store(true);
}

// Ctrl+C, a closed console and a polite kill end the recording early; the file is
// completed either way.
void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace orvane::recorder;
    static_assert(std::atomic<bool>::is_always_lock_free);
    catchInterrupts();

    ConsoleReport report(stdout, stderr);
    const auto options = parseArguments(normalizeArguments({argv + 1, argv + argc}));
    if (!options) {
        report.fail(consoleLine(options.failure()) + " (trelcap -h lists the switches)");
        return kExitUsage;
    }
    if (options->showHelp) {
        std::fputs(usageText().data(), stdout);
        return kExitOk;
    }
    return runRecording(*options, report, interrupted);
}
