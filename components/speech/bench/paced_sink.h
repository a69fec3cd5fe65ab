#pragma once

#include "audio_sink.h"

#include <chrono>
#include <thread>

namespace orvane::speech::bench {

// Plays nothing but takes 1/speedup of each piece's duration, like a fast device.
class PacedSink final : public AudioSink {
  public:
    explicit PacedSink(double speedup) : speedup_(speedup) {}
    Expected<void> play(const Audio& audio, const std::atomic<bool>&) override {
        std::this_thread::sleep_for(std::chrono::duration<double>(audio.seconds() / speedup_));
        return success();
    }

  private:
    double speedup_;
};

}  // namespace orvane::speech::bench
