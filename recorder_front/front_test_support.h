// Helpers shared by the front end's tests.
#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

#include <cstdlib>
#include <optional>
#include <string>

#include "recorder_settings.h"
#include "recording_session.h"

namespace trelcapg::testing {

// Finds the stand-in recorder, built under the recorder's own name.
inline RecorderLocator FakeRecorderLocator() {
    return [](std::string_view name) {
        return LocateRecorder(name, qEnvironmentVariable("TRELCAPG_FAKE_RECORDER_DIR"), {});
    };
}

// Every field away from its default, texts with multi-byte characters.
inline RecorderSettings UnusualSettings() {
    return {.filePath = "/home/user/録音/voice note.mp3",
            .recParam = 7,
            .boost = 2,
            .recTime = 604799,
            .outputRate = 9,
            .rateConversion = 2,
            .fileFormat = kLame,
            .silenceDetection = 1,
            .silenceLevel = 99,
            .silencePeriod = 29,
            .mp3Vbr = 1,
            .vbrLevel = 0,
            .options = "-x \"quoted\" ＝ wide"};
}

// Answers every message box at once and keeps its text.
class RecordingPresenter : public MessagePresenter {
  public:
    void showMessage(const QString& text) override { messages.append(text); }
    QStringList messages;
};

// Waits, running the event loop, until condition holds or the time has passed.
template <typename Condition>
bool WaitFor(Condition condition, int milliseconds = 10000) {
    return QTest::qWaitFor(condition, milliseconds);
}

}  // namespace trelcapg::testing
