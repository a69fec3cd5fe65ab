#include "pseudo_terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace trelcapg {
namespace {

void WriteAll(int fd, const void* bytes, std::size_t size) {
    const char* p = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
}

// Runs in the child between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecInChild(const char* program, char* const* argv, const char* ttyName,
                              int reportFd) {
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        ::sigaction(sig, &defaultAction, nullptr);
    }
    sigset_t empty;
    ::sigemptyset(&empty);
    ::sigprocmask(SIG_SETMASK, &empty, nullptr);

    int error = 0;
    if (::setsid() < 0) {
        error = errno;
    } else if (ttyName != nullptr) {
        const int tty = ::open(ttyName, O_RDWR);
        if (tty < 0 || ::ioctl(tty, TIOCSCTTY, 0) < 0 || ::dup2(tty, STDIN_FILENO) < 0 ||
            ::dup2(tty, STDOUT_FILENO) < 0 || ::dup2(tty, STDERR_FILENO) < 0) {
            error = errno;
        } else if (tty > STDERR_FILENO) {
            ::close(tty);
        }
    }
    if (error == 0) {
        ::execv(program, argv);
        error = errno;
    }
    const ssize_t ignored = ::write(reportFd, &error, sizeof error);
    (void)ignored;
    ::_exit(127);
}

}  // namespace

PseudoTerminal::PseudoTerminal(UniqueFd master, UniqueFd slave, std::string slaveName)
    : master_(std::move(master)), slave_(std::move(slave)), slaveName_(std::move(slaveName)) {}

orvane::Expected<PseudoTerminal> PseudoTerminal::open(int columns, int rows) {
    const auto cannotOpen = [](int error) {
        return orvane::fail(
            orvane::FailureKind::Device,
            QStringLiteral("コンソールを開けません：") + orvane::errorNumberText(error));
    };
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid() || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        return cannotOpen(errno);
    }
    char name[128];
    if (const int error = ::ptsname_r(master.get(), name, sizeof name); error != 0) {
        return cannotOpen(error);
    }
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.valid()) {
        return cannotOpen(errno);
    }
    struct winsize size {};
    size.ws_col = static_cast<unsigned short>(columns);
    size.ws_row = static_cast<unsigned short>(rows);
    ::ioctl(slave.get(), TIOCSWINSZ, &size);
    struct termios mode {};
    if (::tcgetattr(slave.get(), &mode) == 0) {
        mode.c_lflag |= ECHO | ECHOE | ECHOK | ECHOCTL | ICANON | ISIG | IEXTEN;
        mode.c_oflag |= OPOST | ONLCR;
        mode.c_iflag |= ICRNL | IUTF8;
        ::tcsetattr(slave.get(), TCSANOW, &mode);
    }
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    return PseudoTerminal(std::move(master), std::move(slave), name);
}

void PseudoTerminal::writeAsProgram(const void* bytes, std::size_t size) const {
    WriteAll(slave_.get(), bytes, size);
}

void PseudoTerminal::writeAsKeys(const void* bytes, std::size_t size) const {
    // The master is non-blocking for reading; a full input queue drops the rest.
    WriteAll(master_.get(), bytes, size);
}

void PseudoTerminal::discardPendingInput() const {
    ::tcflush(slave_.get(), TCIFLUSH);
}

orvane::Expected<pid_t> SpawnSessionLeader(const std::string& program,
                                           const std::vector<std::string>& argv,
                                           const PseudoTerminal* terminal) {
    const auto cannotStart = [&](int error) {
        return orvane::fail(
            error == ENOENT ? orvane::FailureKind::NotFound : orvane::FailureKind::Internal,
            QStringLiteral("%1 を起動できません：%2")
                .arg(QString::fromStdString(program), orvane::errorNumberText(error)));
    };
    // Everything the child needs is prepared before fork.
    std::vector<char*> rawArgv;
    rawArgv.reserve(argv.size() + 1);
    for (const std::string& arg : argv) {
        rawArgv.push_back(const_cast<char*>(arg.c_str()));
    }
    rawArgv.push_back(nullptr);
    const char* ttyName = terminal != nullptr ? terminal->slaveName().c_str() : nullptr;

    // The child reports a failure before or at exec through this pipe; a successful exec
    // closes it.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return cannotStart(errno);
    }
    UniqueFd reportRead(report[0]);
    UniqueFd reportWrite(report[1]);

    const pid_t pid = ::fork();
    if (pid < 0) {
        return cannotStart(errno);
    }
    if (pid == 0) {
        ExecInChild(program.c_str(), rawArgv.data(), ttyName, reportWrite.get());
    }
    reportWrite.reset();
    int childError = 0;
    ssize_t n;
    do {
        n = ::read(reportRead.get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    if (n == static_cast<ssize_t>(sizeof childError)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        return cannotStart(childError);
    }
    return pid;
}

}  // namespace trelcapg
