#pragma once

#include "audio.h"

#include "expected.h"

#include <QString>

#include <atomic>
#include <mutex>
#include <vector>

namespace orvane::speech {

// Where the speech queue's audio goes. One thread (the queue's player) calls a sink:
//   play(a1) play(a2) ... drain()  play(a3) ... discard()  play(a4) ...
// drain() follows the last piece whenever the queue runs dry; discard() follows a
// stop of the queue, which also sets the `stop` flag of the play() under way.
class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // Hands all of `audio` to the device, returning when the last sample has been
    // handed over (not necessarily heard). Hands over nothing more once `stop` is
    // set, and nothing at all when it is set on entry; a sink checks it at least every
    // few milliseconds of audio. On failure the caller stops using the sink.
    virtual Expected<void> play(const Audio& audio, const std::atomic<bool>& stop) = 0;
    // Returns when everything handed over has been heard, or soon after `stop` is
    // set (discard() then follows).
    virtual void drain(const std::atomic<bool>& stop) { (void)stop; }
    // Silences at once whatever was handed over and not yet heard.
    virtual void discard() {}
};

// Keeps every piece it is given, for tests: which audio arrived, in which order.
class RecordingSink final : public AudioSink {
  public:
    Expected<void> play(const Audio& audio, const std::atomic<bool>& stop) override {
        if (!stop) {
            std::lock_guard lock(mutex_);
            pieces_.push_back(audio);
        }
        return success();
    }
    std::vector<Audio> pieces() const {
        std::lock_guard lock(mutex_);
        return pieces_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Audio> pieces_;
};

}  // namespace orvane::speech
