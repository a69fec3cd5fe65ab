#include "recording_session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

#include "command_line.h"
#include "command_line_split.h"
#include "pseudo_terminal.h"
#include "recorder_console.h"

namespace trelcapg {
namespace {

// Waits, without reaping, until the recorder has ended, then hands the end steps to the
// session's thread. Leaving the process unreaped keeps its id from being reused while
// the session may still signal it.
void RecorderWaitThread(pid_t pid, RecordingSession* session, void (RecordingSession::*finish)()) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 &&
           errno == EINTR) {
    }
    QMetaObject::invokeMethod(session, finish, Qt::QueuedConnection);
}

bool IsExecutableFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

}  // namespace

std::optional<std::string> LocateRecorder(std::string_view name, const QString& ownDir,
                                          const QStringList& pathDirs) {
    const QString fileName = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    QStringList dirs{ownDir};
    dirs += pathDirs;
    for (const QString& dir : dirs) {
        if (dir.isEmpty()) {
            continue;
        }
        const QString candidate = QDir(dir).absoluteFilePath(fileName);
        if (IsExecutableFile(candidate)) {
            return candidate.toStdString();
        }
    }
    return std::nullopt;
}

RecorderLocator DefaultRecorderLocator() {
    return [](std::string_view name) {
        const QStringList path = qEnvironmentVariable("PATH").split(u':', Qt::SkipEmptyParts);
        return LocateRecorder(name, QCoreApplication::applicationDirPath(), path);
    };
}

RecordingSession::RecordingSession(RecorderConsole& console, RecordingView& view,
                                   MessagePresenter& messages, RecorderLocator locateRecorder,
                                   std::string recorderName, QObject* parent)
    : QObject(parent),
      console_(console),
      view_(view),
      messages_(messages),
      locateRecorder_(std::move(locateRecorder)),
      recorderName_(std::move(recorderName)) {}

RecordingSession::~RecordingSession() {
    if (recorderPid_ > 0) {
        ::kill(-recorderPid_, SIGKILL);
        if (waitThread_.joinable()) {
            waitThread_.join();
        }
        while (::waitpid(recorderPid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

std::optional<pid_t> RecordingSession::recorderPid() const {
    return recorderPid_ > 0 ? std::optional<pid_t>(recorderPid_) : std::nullopt;
}

void RecordingSession::OnRecord(const RecorderSettings& settings) {
    switch (recState_) {
        case RecState::Idle:
            start(settings);
            break;
        case RecState::Recording:
            stop();
            break;
        case RecState::Stopping:
            break;
    }
}

void RecordingSession::start(const RecorderSettings& settings) {
    view_.DisableControls();
    view_.setRecordButtonEnabled(false);
    const std::string commandLine = BuildCommandLine(settings, recorderName_);
    console_.writeOutput(std::string(kStartBannerHead) + commandLine + "\n\n");

    orvane::Expected<pid_t> started = orvane::fail(
        orvane::FailureKind::NotFound,
        QStringLiteral("%1 が見つかりません").arg(QString::fromStdString(recorderName_)));
    if (const auto program = locateRecorder_(recorderName_)) {
        if (console_.terminal() != nullptr) {
            console_.terminal()->discardPendingInput();
        }
        started = SpawnSessionLeader(*program, orvane::recorder::splitCommandLine(commandLine),
                                     console_.terminal());
    }
    if (!started) {
        messages_.showMessage(QStringLiteral("Failed spawning process:\r\n") +
                              QString::fromStdString(commandLine));
        view_.setRecordButtonEnabled(true);
        view_.ShowSettings();
        return;
    }
    recorderPid_ = *started;
    waitThread_ =
        std::thread(RecorderWaitThread, recorderPid_, this, &RecordingSession::finishRecording);
    setRecState(RecState::Recording);
    view_.setRecordButtonCaption(kRecStopCaption);
    view_.setRecordButtonEnabled(true);
}

void RecordingSession::stop() {
    view_.setRecordButtonEnabled(false);
    ::kill(-recorderPid_, SIGINT);
    setRecState(RecState::Stopping);
}

void RecordingSession::hangUp() {
    if (recorderPid_ > 0) {
        ::kill(-recorderPid_, SIGHUP);
    }
}

void RecordingSession::finishRecording() {
    if (waitThread_.joinable()) {
        waitThread_.join();
    }
    int status = 0;
    while (::waitpid(recorderPid_, &status, 0) < 0 && errno == EINTR) {
    }
    recorderPid_ = -1;
    console_.writeOutput(kEndBanner);
    view_.setRecordButtonCaption(kRecStartCaption);
    view_.setRecordButtonEnabled(true);
    view_.ShowSettings();
    setRecState(RecState::Idle);
    emit recorderEnded(status);
}

void RecordingSession::setRecState(RecState state) {
    recState_ = state;
    emit recStateChanged(state);
}

}  // namespace trelcapg
