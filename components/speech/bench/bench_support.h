#pragma once

#include "audio_sink.h"

#include <QByteArray>
#include <QFile>

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

// This process's resident memory in KiB; -1 when it cannot be read.
inline long residentKb() {
    QFile status("/proc/self/status");
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

}  // namespace orvane::speech::bench
