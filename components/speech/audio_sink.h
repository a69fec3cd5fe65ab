#pragma once

#include "audio.h"

#include <QString>

#include <atomic>
#include <mutex>
#include <optional>
#include <vector>

namespace orvane::speech {

// Where synthesised speech goes. One thread (the speech queue's player) calls a sink:
//   play(a1) play(a2) ... drain()  play(a3) ... drain()
// drain() follows the last piece whenever the queue runs dry.
class AudioSink {
  public:
    virtual ~AudioSink() = default;
    // Hands all of `audio` to the device, returning when the last sample has been
    // handed over (not necessarily heard). Stops early once `stop` is set. A reason
    // on failure: the caller then stops using the sink.
    virtual std::optional<QString> play(const Audio& audio, const std::atomic<bool>& stop) = 0;
    // Returns when everything handed over has been heard.
    virtual void drain() {}
};

// Keeps every piece it is given, for tests: which audio arrived, in which order.
class RecordingSink final : public AudioSink {
  public:
    std::optional<QString> play(const Audio& audio, const std::atomic<bool>&) override {
        std::lock_guard lock(mutex_);
        pieces_.push_back(audio);
        return std::nullopt;
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
