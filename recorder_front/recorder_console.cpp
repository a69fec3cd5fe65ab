#include "recorder_console.h"

#include <unistd.h>

#include <cerrno>

namespace trelcapg {

RecorderConsole::RecorderConsole(QObject* parent) : QObject(parent) {}

RecorderConsole::~RecorderConsole() = default;

orvane::Expected<void> RecorderConsole::open(int columns, int rows) {
    close();
    auto opened = PseudoTerminal::open(columns, rows);
    if (!opened) {
        return opened.failure();
    }
    terminal_.emplace(std::move(opened).value());
    notifier_ = std::make_unique<QSocketNotifier>(terminal_->master(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &RecorderConsole::readAvailable);
    return orvane::success();
}

void RecorderConsole::close() {
    notifier_.reset();
    terminal_.reset();
}

void RecorderConsole::writeOutput(std::string_view text) {
    if (terminal_) {
        terminal_->writeAsProgram(text.data(), text.size());
    }
}

void RecorderConsole::typeKeys(const QByteArray& keys) {
    if (terminal_) {
        terminal_->writeAsKeys(keys.constData(), static_cast<std::size_t>(keys.size()));
    }
}

void RecorderConsole::readAvailable() {
    char buffer[4096];
    while (terminal_) {  // a handler of output() may close the console
        const ssize_t n = ::read(terminal_->master(), buffer, sizeof buffer);
        if (n > 0) {
            emit output(QByteArray(buffer, static_cast<qsizetype>(n)));
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return;  // drained (EAGAIN), or nothing more to read
    }
}

}  // namespace trelcapg
