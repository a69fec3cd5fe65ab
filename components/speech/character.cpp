#include "character.h"

#include "speech_output.h"

namespace orvane::speech {

Character::Character(CharacterProfile profile, std::shared_ptr<SpeechOutput> output)
    : profile_(std::move(profile)), output_(std::move(output)) {}

Character::~Character() = default;

void Character::show() { visible_ = true; }
void Character::hide() { visible_ = false; }
void Character::moveTo(int x, int y) { position_ = QPoint(x, y); }

void Character::speak(const QString& text) { output_->speak(text, profile_); }

}  // namespace orvane::speech
