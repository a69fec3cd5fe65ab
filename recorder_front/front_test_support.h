// Helpers shared by the front end's tests.
#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

#include <cstdlib>
#include <optional>
#include <string>

#include "recording_session.h"

namespace trelcapg::testing {

// The stand-in recorder, built under the recorder's own name.
inline std::string FakeRecorderDir() {
    const char* dir = std::getenv("TRELCAPG_FAKE_RECORDER_DIR");
    return dir != nullptr ? dir : "";
}

inline RecorderLocator FakeRecorderLocator() {
    return [](std::string_view name) {
        return LocateRecorder(name, QString::fromStdString(FakeRecorderDir()), {});
    };
}

inline RecorderLocator NoRecorderLocator() {
    return [](std::string_view) { return std::optional<std::string>(); };
}

// Answers every message box at once and keeps its text.
class RecordingPresenter : public MessagePresenter {
  public:
    void showMessage(const QString& text) override { messages.append(text); }
    QStringList messages;
};

// Waits, running the event loop, until condition holds or ten seconds have passed.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 10000) {
    return QTest::qWaitFor(condition, milliseconds);
}

}  // namespace trelcapg::testing
