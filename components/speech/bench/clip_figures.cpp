#include "clip_figures.h"
#include "bench_support.h"

#include "agent.h"
#include "character.h"
#include "portaudio_sink.h"
#include "test_sounds.h"

#include <QFile>
#include <QProcess>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace orvane::speech::bench {
namespace {

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Reads the private server's monitor through parec in fragments of a few
// milliseconds and notes when each fragment arrived. A sample's arrival time is an
// upper bound on when it was heard, so the figures below err on the slow side.
class MonitorListener {
  public:
    static constexpr int kRate = 44100;
    static constexpr int kAudible = 328;  // 1 % of full scale, -40 dBFS

    MonitorListener() : reader_([this] { read(); }) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_.has_value(); });
    }
    ~MonitorListener() {
        quit_ = true;
        reader_.join();
    }
    bool listening() const { return ready_.value_or(false); }

    // When the first audible sample after `from` arrived; nullopt after `timeout`.
    std::optional<Clock::time_point> firstAudibleAfter(Clock::time_point from,
                                                       Clock::duration timeout) {
        std::unique_lock lock(mutex_);
        std::optional<Clock::time_point> found;
        changed_.wait_for(lock, timeout, [&] {
            for (const Fragment& f : fragments_) {
                if (f.firstAudible >= 0 && f.timeOf(f.firstAudible) >= from) {
                    found = f.timeOf(f.firstAudible);
                    return true;
                }
            }
            return false;
        });
        return found;
    }
    // When the last audible sample arrived that was captured before `until`.
    std::optional<Clock::time_point> lastAudibleBefore(Clock::time_point until) {
        std::lock_guard lock(mutex_);
        std::optional<Clock::time_point> found;
        for (const Fragment& f : fragments_) {
            if (f.lastAudible >= 0 && f.timeOf(f.lastAudible) <= until) {
                found = f.timeOf(f.lastAudible);
            }
        }
        return found;
    }
    void forget() {
        std::lock_guard lock(mutex_);
        fragments_.clear();
    }

  private:
    struct Fragment {
        Clock::time_point arrived;
        int samples = 0;
        int firstAudible = -1;
        int lastAudible = -1;
        Clock::time_point timeOf(int index) const {
            return arrived - std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(double(samples - index) / kRate));
        }
    };

    void read() {
        QProcess parec;
        parec.start("parec",
                    {"--device=orvane_null.monitor", "--raw", "--format=s16le",
                     "--rate=" + QString::number(kRate), "--channels=1", "--latency-msec=5"});
        {
            std::lock_guard lock(mutex_);
            ready_ = parec.waitForStarted(5000);
        }
        changed_.notify_all();
        QByteArray pending;
        while (!quit_ && parec.state() == QProcess::Running) {
            if (!parec.waitForReadyRead(50)) {
                continue;
            }
            const auto now = Clock::now();
            pending += parec.readAllStandardOutput();
            const qsizetype whole = pending.size() / 2 * 2;
            Fragment f{now, int(whole / 2)};
            const auto* s = reinterpret_cast<const std::int16_t*>(pending.constData());
            for (int i = 0; i < f.samples; ++i) {
                if (std::abs(int(s[i])) > kAudible) {
                    f.lastAudible = i;
                    if (f.firstAudible < 0) {
                        f.firstAudible = i;
                    }
                }
            }
            pending.remove(0, whole);
            {
                std::lock_guard lock(mutex_);
                fragments_.push_back(f);
            }
            changed_.notify_all();
        }
        parec.kill();
        parec.waitForFinished(2000);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<bool> ready_;
    std::vector<Fragment> fragments_;
    std::atomic<bool> quit_ = false;
    std::thread reader_;
};

void printSpread(const char* what, std::vector<double> values) {
    if (values.empty()) {
        std::printf("  %-44s no measurement\n", what);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("  %-44s median %6.1f ms, worst %6.1f ms, best %6.1f ms (n=%zu)\n", what,
                values[values.size() / 2], values.back(), values.front(), values.size());
}

// Plays a long sound, stops it after a while, and measures how long it was still
// heard.
std::vector<double> stopLatency(Character& c, MonitorListener& monitor, int rounds,
                                const std::function<void()>& playLongSound) {
    std::vector<double> out;
    for (int i = 0; i < rounds; ++i) {
        monitor.forget();
        const auto played = Clock::now();
        playLongSound();
        if (!monitor.firstAudibleAfter(played, std::chrono::seconds(5))) {
            continue;
        }
        // Stop at a different point of the device's buffer each round.
        std::this_thread::sleep_for(std::chrono::milliseconds(200 + 37 * i % 200));
        const auto stopped = Clock::now();
        c.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        if (const auto last = monitor.lastAudibleBefore(Clock::now())) {
            out.push_back(ms(*last - stopped));
        }
    }
    return out;
}

Agent::Options silentAgent(std::shared_ptr<AudioSink> sink) {
    return {QString(), {}, [] { return std::make_unique<SilentEngine>(); }, std::move(sink), 0};
}

// An hour at 32 kbps and 32 kHz mono, as the recorder makes voice mails: a minute
// from sox, repeated (MPEG frames follow each other freely).
bool writeHourLongVoiceMail(const QString& path, const QString& minutePath) {
    if (!test::writeWithSox(minutePath, 32000, 1, {"synth", "60", "sine", "440", "gain", "-6"})
             .isEmpty()) {
        return false;
    }
    QFile minute(minutePath), hour(path);
    if (!minute.open(QIODevice::ReadOnly) || !hour.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = minute.readAll();
    for (int i = 0; i < 60; ++i) {
        hour.write(bytes);
    }
    return true;
}

}  // namespace

void printClipFigures(bool soundDevice, const QString& workDir) {
    const int rounds = 10;
    const QString clip = workDir + "/clip.mp3";
    const QString longClip = workDir + "/long.mp3";
    const bool haveClips =
        test::writeWithSox(clip, 32000, 1, {"synth", "1.5", "sine", "440", "gain", "-6"})
            .isEmpty() &&
        test::writeWithSox(longClip, 32000, 1, {"synth", "10", "sine", "440", "gain", "-6"})
            .isEmpty();

    std::printf("\nstop and clips, measured at the private PulseAudio's monitor\n");
    if (!soundDevice || !haveClips) {
        std::printf("  skipped: %s\n", !soundDevice ? "no private PulseAudio" : "no sox");
    } else {
        MonitorListener monitor;
        auto device = std::make_shared<PortAudioSink>();
        Agent agent(silentAgent(device));
        Character& c = *agent.loadDefault("genie");
        if (!monitor.listening()) {
            std::printf("  skipped: parec does not run\n");
        } else {
            printSpread("stop() to the last audible sample, beep",
                        stopLatency(c, monitor, rounds, [&] { c.playTone(440, 10000); }));
            printSpread("stop() to the last audible sample, MP3 clip",
                        stopLatency(c, monitor, rounds, [&] { (void)c.playMp3(longClip); }));
            std::printf("  %-44s %.1f ms\n", "output latency PortAudio reports",
                        device->outputLatency() * 1000);

            std::vector<double> call, first;
            for (int i = 0; i < rounds; ++i) {
                agent.waitUntilIdle(20000);
                monitor.forget();
                const auto t0 = Clock::now();
                (void)c.playMp3(clip);
                call.push_back(ms(Clock::now() - t0));
                if (const auto heard = monitor.firstAudibleAfter(t0, std::chrono::seconds(5))) {
                    first.push_back(ms(*heard - t0));
                }
            }
            agent.waitUntilIdle(20000);
            printSpread("playMp3() returns (open, first block decoded)", call);
            printSpread("playMp3() to the first audible sample", first);
        }
    }

    std::printf("\nmemory of an hour-long voice mail (32 kHz mono, 32 kbps; device at 20x)\n");
    const QString hour = workDir + "/hour.mp3";
    if (!writeHourLongVoiceMail(hour, workDir + "/minute.mp3")) {
        std::printf("  skipped: no sox\n");
        return;
    }
    const long before = residentKb();
    Agent agent(silentAgent(std::make_shared<PacedSink>(20.0)));
    Character& c = *agent.loadDefault("genie");
    const auto t0 = Clock::now();
    const auto played = c.playMp3(hour);
    const double callMs = ms(Clock::now() - t0);
    if (!played.ok()) {
        std::printf("  failed: %s\n", qPrintable(played.failure().reason));
        return;
    }
    const long queued = residentKb();
    long peak = queued;
    for (int s = 0; s < 20; ++s) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peak = std::max(peak, residentKb());
    }
    c.stop();
    std::printf(
        "  playMp3 returned after %.1f ms; RSS before %ld KiB, after the call %ld KiB, peak "
        "over 10 s of playing (200 s of the mail) %ld KiB (+%ld KiB)\n",
        callMs, before, queued, peak, peak - before);
    std::printf("  the whole hour as 16-bit samples would take %.0f MiB\n",
                3600.0 * 32000 * 2 / 1048576.0);
}

}  // namespace orvane::speech::bench
