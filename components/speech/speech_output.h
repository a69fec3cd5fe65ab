#pragma once

#include "character.h"
#include "transcript.h"

#include <QString>

#include <optional>

namespace orvane::speech {

// Where spoken texts go: the transcript, then the speech queue.
class SpeechOutput {
public:
    explicit SpeechOutput(std::optional<QString> transcriptPath);
    void speak(const QString& text, const CharacterProfile& voice);

private:
    Transcript transcript_;
};

}  // namespace orvane::speech
