#pragma once

#include "expected.h"

#include <QString>

namespace orvane::mailcheck {

// The speaking character as the checker uses it. Every call returns at once;
// texts and clips are queued and heard in call order.
class CheckerVoice {
  public:
    virtual ~CheckerVoice() = default;

    virtual void show() = 0;
    virtual void speak(const QString& text) = 0;
    // Takes the character away once what it queued before has been heard.
    virtual void hide() = 0;
    // Queues the MP3 file after what was queued before; a failure when the
    // file cannot be decoded.
    virtual Expected<void> playMp3(const QString& path) = 0;
    // True once everything queued, texts and clips, has been heard.
    virtual bool idle() const = 0;
};

}  // namespace orvane::mailcheck
