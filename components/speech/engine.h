#pragma once

#include "audio.h"

#include "expected.h"

#include <QString>

namespace orvane::speech {

// How one character sounds. Engines map these onto their own controls.
struct VoiceSettings {
    QString voicePath;    // HTS voice for Open JTalk; empty: the engine's default
    double speed = 1.0;   // 1.0 normal, 2.0 twice as fast
    double pitch = 0.0;   // semitones relative to the voice
    double volume = 1.0;  // 0..1
    friend bool operator==(const VoiceSettings&, const VoiceSettings&) = default;
};

// The audio of one text, or why the engine failed on it (the reason goes to
// standard error; the queue goes on with the next text).
using Synthesis = Expected<Audio>;

// A speech synthesis engine. One thread uses an engine at a time (the speech
// queue's synthesis thread; interrupt() alone comes from another); calls are:
//   prepare(v)?  synthesize(text, v)  [prepare(v2)?  synthesize(text2, v2) ...]
// `text` is normalised (see normalizeForSpeech) and holds no line break. An engine
// returns an Audio with no samples for a text in which it finds nothing to say.
class Engine {
  public:
    virtual ~Engine() = default;
    // "jtalk", "espeak", "none", ...
    virtual QString name() const = 0;
    // The voice in use, for the start-up line on standard error.
    virtual QString voiceDescription() const = 0;
    // A hint that the next text will use `voice`: an engine may get ready for it
    // ahead of time. Never required.
    virtual void prepare(const VoiceSettings& voice) { (void)voice; }
    virtual Synthesis synthesize(const QString& text, const VoiceSettings& voice) = 0;
    // Called from another thread when the queue is stopped: a synthesize() under way
    // may give up and return at once (its result is thrown away). Never required.
    virtual void interrupt() {}
};

// Says nothing, at once.
class SilentEngine final : public Engine {
  public:
    QString name() const override { return QStringLiteral("none"); }
    QString voiceDescription() const override { return QStringLiteral("no voice"); }
    Synthesis synthesize(const QString&, const VoiceSettings&) override { return Audio{}; }
};

}  // namespace orvane::speech
