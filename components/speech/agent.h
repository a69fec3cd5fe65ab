#pragma once

#include "audio_sink.h"
#include "engine.h"
#include "expected.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace orvane::speech {

class Character;
class SpeechOutput;

// The speech character control: loads characters from character files and hands
// out the loaded characters by ID. Used by both talking programs.
//
// Contract the callers rely on: Character::speak returns at once; texts are
// queued and spoken in call order, each whole, and speech goes on while the
// calling thread is blocked. All characters of one Agent share one queue, which
// also carries their sound files and beeps; only Character::stop cuts it short.
//
// At construction the engine is chosen (ORVANE_SPEECH=auto|jtalk|espeak|none) and
// the choice and voice are written once to standard error. Audio goes to
// PortAudio's default output device; without one, one line on standard error says
// so and the program goes on silently (the transcript still gets every text).
class Agent {
  public:
    struct Options {
        // Appended with every text handed to Character::speak (see Transcript).
        // Empty: ORVANE_TRANSCRIPT from the environment.
        std::optional<QString> transcriptPath;
        // Folders searched for NAME.acs, in order (the program folder's
        // characters/ first, then the one beside the executable). Empty: the
        // characters/ folder beside the executable.
        QStringList characterDirs;
        // Makes the engine; unset: chosen from ORVANE_SPEECH (tests inject fakes).
        std::function<std::unique_ptr<Engine>()> engineFactory;
        // Where audio goes; unset: PortAudio's default output device.
        std::shared_ptr<AudioSink> sink;
        // Audio of recently spoken texts kept so that repeated prompts start at once;
        // 0 turns the cache off.
        std::size_t synthesisCacheBytes = 16 * 1024 * 1024;
    };

    explicit Agent(Options options);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    void setConnected(bool connected);
    bool connected() const { return connected_; }

    // Loads `file` (for example "genie.acs"; the name is matched without regard to
    // case) under `id`, replacing a character loaded under it before. A failure's
    // reason is in Japanese, fit to be shown and spoken.
    Expected<Character*> load(const QString& id, const QString& file);
    // Loads a plain character with the engine's default voice and no picture
    // under `id`: the one that says why a character file could not be loaded.
    Character* loadDefault(const QString& id);
    // The character loaded under `id`, or nullptr.
    Character* character(const QString& id) const;
    void unload(const QString& id);

    // Blocks until every queued text and clip has been played (or stopped), or
    // `timeoutMs` passed; returns whether the queue is empty (for tests and for an
    // orderly end).
    bool waitUntilIdle(int timeoutMs);
    // "jtalk", "espeak" or "none".
    QString engineName() const;

  private:
    Options options_;
    bool connected_ = false;
    std::shared_ptr<SpeechOutput> output_;
    std::map<QString, std::unique_ptr<Character>> characters_;
};

}  // namespace orvane::speech
