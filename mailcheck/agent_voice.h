#pragma once

#include "checker_voice.h"

namespace orvane::speech {
class Agent;
class Character;
}  // namespace orvane::speech

namespace orvane::mailcheck {

// The checker's character on the speech Agent, always loaded under the ID
// "genie" whatever file it comes from.
class AgentVoice : public CheckerVoice {
  public:
    // The character every fallback ends in: it ships with the programs.
    static constexpr char kDefaultCharacter[] = "Genie";

    explicit AgentVoice(speech::Agent& agent);

    // Loads NAME.acs in place of the current character. When it cannot be
    // loaded, the default character (or, without its file, a plain one)
    // takes its place, and the failure says why, fit to be spoken: the voice
    // always has a character afterwards.
    Expected<void> useCharacter(const QString& name);

    void show() override;
    void speak(const QString& text) override;
    void hide() override;
    Expected<void> playMp3(const QString& path) override;
    bool idle() const override;

  private:
    Expected<speech::Character*> load(const QString& name);

    speech::Agent& agent_;
    speech::Character* character_ = nullptr;  // owned by the Agent
};

}  // namespace orvane::mailcheck
