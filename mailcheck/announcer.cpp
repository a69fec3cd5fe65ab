#include "announcer.h"

#include "checker_voice.h"

namespace orvane::mailcheck {

Announcer::Announcer(CheckerVoice& voice) : voice_(voice) {}

void Announcer::notify(const QString& text) {
    voice_.show();
    say(text);
    voice_.hide();
}

void Announcer::say(const QString& text) {
    voice_.speak(text);
    emit shown(text);
}

}  // namespace orvane::mailcheck
