// One recording at a time: starting the recorder on the console, stopping it with an
// interrupt, and waiting for its end on a second thread.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "recorder_settings.h"

namespace trelcapg {

class RecorderConsole;

enum class RecState : int { Idle = 0, Recording = 1, Stopping = 2 };

// What the session asks of the dialog. Every call comes on the dialog's thread.
class RecordingView {
  public:
    virtual ~RecordingView() = default;
    // Disables every control but the record button.
    virtual void DisableControls() = 0;
    // Shows the record in the controls and enables them as their rules say.
    virtual void ShowSettings() = 0;
    virtual void setRecordButtonCaption(const QString& caption) = 0;
    virtual void setRecordButtonEnabled(bool enabled) = 0;
};

// Tells the user something that needs an OK (a message box captioned with the
// application's name in the program; an answering fake in tests).
class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    virtual void showMessage(const QString& text) = 0;
};

// Finds the recorder's executable by name: an absolute path, or nothing.
using RecorderLocator = std::function<std::optional<std::string>(std::string_view name)>;

// The first executable file called name in ownDir, else in the directories of pathDirs.
std::optional<std::string> LocateRecorder(std::string_view name, const QString& ownDir,
                                          const QStringList& pathDirs);
// LocateRecorder in this program's own folder, then on PATH.
RecorderLocator DefaultRecorderLocator();

inline constexpr std::string_view kStartBannerHead = "---------START---------\n";
inline constexpr std::string_view kEndBanner = "----------END----------\n";
inline const QString kRecStartCaption = QStringLiteral("REC START");
inline const QString kRecStopCaption = QStringLiteral("REC STOP");

class RecordingSession : public QObject {
    Q_OBJECT
  public:
    // console may hold no terminal: the recorder then keeps the front end's own streams
    // and the banners go nowhere.
    RecordingSession(RecorderConsole& console, RecordingView& view, MessagePresenter& messages,
                     RecorderLocator locateRecorder, std::string recorderName,
                     QObject* parent = nullptr);
    // A recorder still running is killed and reaped.
    ~RecordingSession() override;

    // The record button. Idle: start a recording of settings. Recording: ask the recorder
    // to stop (SIGINT to its process group). Stopping: nothing.
    void OnRecord(const RecorderSettings& settings);

    RecState recState() const { return recState_; }
    // The running recorder's process id, or nothing.
    std::optional<pid_t> recorderPid() const;

    // The console is going away: the recorder gets the hang-up it would get from its
    // terminal.
    void hangUp();

  signals:
    void recStateChanged(trelcapg::RecState state);
    // The recorder ended; status as waitpid gives it.
    void recorderEnded(int waitStatus);

  private:
    void start(const RecorderSettings& settings);
    void stop();
    // The end steps, always on this object's thread.
    void finishRecording();
    void setRecState(RecState state);

    RecorderConsole& console_;
    RecordingView& view_;
    MessagePresenter& messages_;
    RecorderLocator locateRecorder_;
    std::string recorderName_;

    RecState recState_ = RecState::Idle;
    // Valid from a successful start until finishRecording reaps it; only this object's
    // thread reaps, so the id (and its process group) cannot be reused meanwhile.
    pid_t recorderPid_ = -1;
    std::thread waitThread_;
};

}  // namespace trelcapg
