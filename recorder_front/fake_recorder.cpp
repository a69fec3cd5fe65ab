// A stand-in recorder for tests: prints its arguments and whether it runs on a terminal
// of its own, counts seconds on one line until the -t time has passed, and ends early,
// with status 0, on SIGINT. "-hold" makes it ignore SIGINT and the hang-up of its terminal.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {
volatile sig_atomic_t interrupted = 0;
void OnInterrupt(int) {
    interrupted = 1;
}
}  // namespace

int main(int argc, char** argv) {
    double seconds = 1;
    bool hold = false;
    std::printf("fake recorder:");
    for (int i = 1; i < argc; ++i) {
        std::printf(" [%s]", argv[i]);
        if (std::strcmp(argv[i], "-t") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[i + 1]);
        }
        if (std::strcmp(argv[i], "-hold") == 0) {
            hold = true;
        }
    }
    std::printf("\n");
    const bool ownTerminal = isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp();
    std::printf("terminal: %s, group leader: %s\n", ownTerminal ? "yes" : "no",
                getpgrp() == getpid() ? "yes" : "no");
    std::fflush(stdout);
    signal(SIGINT, hold ? SIG_IGN : OnInterrupt);
    if (hold) {
        signal(SIGHUP, SIG_IGN);
    }

    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    int shown = -1;
    while (!interrupted && std::chrono::steady_clock::now() < end) {
        const int elapsed = static_cast<int>(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (elapsed != shown) {
            shown = elapsed;
            std::printf("\r%d sec", elapsed);
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("\n%s\n", interrupted ? "stopped by interrupt" : "time passed");
    std::fflush(stdout);
    return 0;
}
