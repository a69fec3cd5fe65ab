#pragma once
// A sound device for the tests of the queue.

#include "audio_sink.h"
#include "fake_engine.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace orvane::speech::test {

// Notes the text of every piece handed to it (the fake engine's audio spells its text)
// with the test's current round, and holds each piece as a device would: for `pieceMs`,
// or, with a negative pieceMs, until the test lets it through. A stop gives the piece up
// at once, and a piece handed over while the stop flag is up is not played at all.
class PacedSink final : public AudioSink {
  public:
    explicit PacedSink(int pieceMs = -1) : pieceMs_(pieceMs) {}
    ~PacedSink() override { allow(1 << 20); }

    Expected<void> play(const Audio& audio, const std::atomic<bool>& stop) override {
        std::unique_lock lock(mutex_);
        if (stop) {
            return success();
        }
        played_.push_back({TextAsAudioEngine::decode(audio), round});
        changed_.notify_all();
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(pieceMs_);
        const auto done = [&] {
            return stop || (pieceMs_ < 0 ? allowed_ > 0 : std::chrono::steady_clock::now() >= end);
        };
        // Nobody signals the stop flag: look at it every millisecond, as a device does.
        while (!changed_.wait_for(lock, std::chrono::milliseconds(1), done)) {
        }
        if (pieceMs_ < 0 && !stop) {
            --allowed_;
        }
        return success();
    }
    void discard() override { ++discards; }

    // Lets `pieces` held pieces through (only without a pace).
    void allow(int pieces) {
        {
            std::lock_guard lock(mutex_);
            allowed_ += pieces;
        }
        changed_.notify_all();
    }
    struct Played {
        QString text;
        int round;
    };
    // Every piece that reached the sink, the one held included.
    std::vector<Played> played() const {
        std::lock_guard lock(mutex_);
        return played_;
    }
    bool waitForPieces(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [&] { return played_.size() >= count; });
    }

    std::atomic<int> round = 0;  // set by the test, for example after each stop()
    std::atomic<int> discards = 0;

  private:
    int pieceMs_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int allowed_ = 0;
    std::vector<Played> played_;
};

}  // namespace orvane::speech::test
