#pragma once

#include <QString>
#include <QStringList>

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
// calling thread is blocked.
class Agent {
public:
    struct Options {
        // Appended with every text handed to Character::speak (see Transcript).
        // Empty: ORVANE_TRANSCRIPT from the environment.
        std::optional<QString> transcriptPath;
        // Folders searched for NAME.acs, in order (the program folder's
        // characters/ first, then the one beside the executable).
        QStringList characterDirs;
    };

    explicit Agent(Options options);
    ~Agent();
    Agent(const Agent&) = delete;
    Agent& operator=(const Agent&) = delete;

    void setConnected(bool connected);
    bool connected() const { return connected_; }

    // Loads `file` (for example "genie.acs") under `id`. Returns the reason on
    // failure, in Japanese, fit to be shown and spoken.
    std::optional<QString> load(const QString& id, const QString& file);
    // The character loaded under `id`, or nullptr.
    Character* character(const QString& id) const;
    void unload(const QString& id);

private:
    Options options_;
    bool connected_ = false;
    std::shared_ptr<SpeechOutput> output_;
    std::map<QString, std::unique_ptr<Character>> characters_;
};

}  // namespace orvane::speech
