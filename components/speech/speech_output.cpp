#include "speech_output.h"

namespace orvane::speech {

SpeechOutput::SpeechOutput(std::optional<QString> transcriptPath)
    : transcript_(transcriptPath ? *transcriptPath : qEnvironmentVariable("ORVANE_TRANSCRIPT")) {}

void SpeechOutput::speak(const QString& text, const CharacterProfile&) {
    transcript_.append(text);
    // The silent engine: nothing audible yet.
}

}  // namespace orvane::speech
