#pragma once

#include "engine.h"

#include <QThread>

#include <atomic>

namespace orvane::speech {

// An engine for tests: the "audio" of a text is its UTF-16 code units as samples at
// 8000 Hz, so a RecordingSink can read back exactly which text was played, whole or
// not. A text containing `failMarker` fails; `delayMs` makes synthesis slow.
class TextAsAudioEngine final : public Engine {
  public:
    explicit TextAsAudioEngine(int delayMs = 0, QString failMarker = QStringLiteral("FAIL"))
        : delayMs_(delayMs), failMarker_(std::move(failMarker)) {}

    QString name() const override { return QStringLiteral("fake"); }
    QString voiceDescription() const override { return QStringLiteral("text as samples"); }
    Synthesis synthesize(const QString& text, const VoiceSettings&) override {
        ++calls;
        if (delayMs_ > 0) {
            QThread::msleep(delayMs_);
        }
        if (!failMarker_.isEmpty() && text.contains(failMarker_)) {
            return fail(FailureKind::Internal, QStringLiteral("asked to fail"));
        }
        Audio audio;
        audio.sampleRate = 8000;
        for (QChar c : text) {
            audio.samples.push_back(std::int16_t(c.unicode()));
        }
        return audio;
    }

    // Reads back what synthesize() encoded.
    static QString decode(const Audio& audio) {
        QString text;
        for (std::int16_t s : audio.samples) {
            text += QChar(char16_t(std::uint16_t(s)));
        }
        return text;
    }

    std::atomic<int> calls = 0;

  private:
    int delayMs_;
    QString failMarker_;
};

}  // namespace orvane::speech
