// Speech benchmarks (not part of the test suite; run by hand):
//   latency  Speak → first sample handed to the sound device, "メールを削除しました",
//            median and worst of 20, Open JTalk with the shared voice; the fallback
//            engine and a plain one-shot open_jtalk run are measured as peers.
//   rtf      synthesis time / spoken duration for a 100-character text.
//   stop     stop() while a long text is read, then a new text: to its first sample.
//   memory   1,000 queued texts: resident memory while they are being spoken.
//   clips    stop() to the last audible sample and playMp3 to the first one, at the
//            private PulseAudio's monitor; memory of an hour-long voice mail.
// `speech_bench SECTION...` (latency, stop, rtf, memory, clips) prints those alone.
// The HTS voice comes from ORVANE_VOICE or ORVANE_SHARED_DIR/voices. With a private
// PulseAudio (testing/virtual_sound) the real PortAudio path is timed.
#include "agent.h"
#include "bench_support.h"
#include "character.h"
#include "clip_figures.h"
#include "espeak_engine.h"
#include "open_jtalk_engine.h"
#include "portaudio_sink.h"
#include "text_normalizer.h"
#include "virtual_sound.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <thread>
#include <vector>

using namespace orvane::speech;
using orvane::Expected;
using orvane::success;
using orvane::speech::bench::PacedSink;
using orvane::speech::bench::residentKb;
using Clock = std::chrono::steady_clock;

namespace {

const QString kPhrase = QStringLiteral("メールを削除しました");
// 100 characters of an ordinary mail body.
const QString kHundred = QStringLiteral(
    "本日の会議は午後三時から第二会議室で行います。資料は事前に共有フォルダーへ置きましたので、"
    "参加される方は必ず事前に目を通しておいてください。ご不明な点があれば、担当の山田までメールでお"
    "知らせください。");

QString voicePath() {
    const QString env = qEnvironmentVariable("ORVANE_VOICE");
    if (!env.isEmpty() && QFileInfo::exists(env)) {
        return env;
    }
    QString shared = qEnvironmentVariable("ORVANE_SHARED_DIR");
    if (shared.isEmpty()) {
        shared = QStringLiteral(ORVANE_SOURCE_DIR "/../shared");
    }
    const QString path = QDir(shared).filePath("voices/tohoku-f01-neutral.htsvoice");
    return QFileInfo::exists(path) ? path : QString();
}

// The character the programs use; a plain one where its file cannot be read.
Character* genie(Agent& agent) {
    const Expected<Character*> loaded = agent.load("genie", "genie.acs");
    if (!loaded) {
        std::fprintf(stderr, "%s\n", qPrintable(loaded.failure().reason));
        return agent.loadDefault("genie");
    }
    return *loaded;
}

std::unique_ptr<Engine> makeEspeak() {
    auto made = EspeakEngine::create();
    return std::move(made).value();
}

// Seconds of silence (below about -50 dBFS) before the first audible sample.
std::chrono::duration<double> leadingSilence(const Audio& audio) {
    const auto it = std::find_if(audio.samples.begin(), audio.samples.end(),
                                 [](std::int16_t v) { return v > 100 || v < -100; });
    return std::chrono::duration<double>(double(it - audio.samples.begin()) /
                                         std::max(1, audio.sampleRate));
}

// Notes when the first sample of each text reaches the wrapped sink.
class TimingSink final : public AudioSink {
  public:
    explicit TimingSink(std::shared_ptr<AudioSink> inner) : inner_(std::move(inner)) {}
    Expected<void> play(const Audio& audio, const std::atomic<bool>& stop) override {
        {
            std::lock_guard lock(mutex_);
            if (!first_ && !stop) {  // a stopped piece plays nothing
                first_ = Clock::now();
                firstAudibleOffset_ = leadingSilence(audio);
                changed_.notify_all();
            }
        }
        return inner_->play(audio, stop);
    }
    void drain(const std::atomic<bool>& stop) override { inner_->drain(stop); }
    void discard() override { inner_->discard(); }
    void reset() {
        std::lock_guard lock(mutex_);
        first_.reset();
    }
    Clock::time_point waitFirst() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return first_.has_value(); });
        return *first_;
    }
    // How long the device plays before the first audible sample of the text.
    std::chrono::duration<double> firstAudibleOffset() {
        std::lock_guard lock(mutex_);
        return firstAudibleOffset_;
    }

  private:
    std::shared_ptr<AudioSink> inner_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<Clock::time_point> first_;
    std::chrono::duration<double> firstAudibleOffset_{};
};

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Latency {
    std::vector<double> firstSample;
    std::vector<double> firstAudible;  // first sample + the silence before the speech
};

// Notes the round that began at `t0`, once its first sample reached `timing`.
void noteRound(Latency& out, TimingSink& timing, Clock::time_point t0) {
    const Clock::duration first = timing.waitFirst() - t0;
    out.firstSample.push_back(ms(first));
    out.firstAudible.push_back(
        ms(first + std::chrono::duration_cast<Clock::duration>(timing.firstAudibleOffset())));
}

void printLatency(const char* what, Latency l) {
    std::sort(l.firstSample.begin(), l.firstSample.end());
    std::sort(l.firstAudible.begin(), l.firstAudible.end());
    const std::size_t n = l.firstSample.size();
    std::printf(
        "  %-46s first sample: median %6.1f ms, worst %6.1f ms; first audible: "
        "median %6.1f ms (n=%zu)\n",
        what, l.firstSample[n / 2], l.firstSample.back(), l.firstAudible[n / 2], n);
}

Latency speakLatency(std::function<std::unique_ptr<Engine>()> factory,
                     std::shared_ptr<AudioSink> device, int rounds, bool cache) {
    auto timing = std::make_shared<TimingSink>(std::move(device));
    Agent agent({QString(),
                 {QStringLiteral(ORVANE_SOURCE_DIR "/components/speech/characters")},
                 std::move(factory),
                 timing,
                 cache ? 16u << 20 : 0u});
    Character* c = genie(agent);
    Latency out;
    // One round before measuring: the program has said something at start-up.
    c->speak(QStringLiteral("こんにちは"));
    agent.waitUntilIdle(60000);
    for (int i = 0; i < rounds; ++i) {
        timing->reset();
        const auto t0 = Clock::now();
        c->speak(kPhrase);
        noteRound(out, *timing, t0);
        agent.waitUntilIdle(60000);
    }
    return out;
}

Latency oneShotOpenJTalk(const QString& voice, int rounds) {
    QTemporaryDir dir;
    QFile text(dir.filePath("in.txt"));
    text.open(QIODevice::WriteOnly);
    text.write(kPhrase.toUtf8() + '\n');
    text.close();
    Latency out;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clock::now();
        QProcess p;
        p.start("open_jtalk", {"-x", OpenJTalkEngine::kDefaultDictionary, "-m", voice, "-ow",
                               dir.filePath("out.wav"), text.fileName()});
        p.waitForFinished(30000);
        QFile wav(dir.filePath("out.wav"));
        wav.open(QIODevice::ReadOnly);
        const auto audio = parseWav(wav.readAll());
        const Clock::duration done = Clock::now() - t0;
        out.firstSample.push_back(ms(done));
        out.firstAudible.push_back(
            ms(done + std::chrono::duration_cast<Clock::duration>(leadingSilence(audio.value()))));
    }
    return out;
}

// A user moving on while a long body is read: stop(), then the next row's text. From
// the stop to the new text's first sample handed to the device.
Latency stopAndSpeakLatency(std::function<std::unique_ptr<Engine>()> factory,
                            std::shared_ptr<AudioSink> device, int rounds) {
    auto timing = std::make_shared<TimingSink>(std::move(device));
    Agent agent({QString(),
                 {QStringLiteral(ORVANE_SOURCE_DIR "/components/speech/characters")},
                 std::move(factory),
                 timing,
                 0});
    Character* c = genie(agent);
    Latency out;
    for (int i = 0; i < rounds; ++i) {
        timing->reset();
        c->speak(kHundred + kHundred);
        timing->waitFirst();
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + 37 * i % 300));
        const auto t0 = Clock::now();
        c->stop();
        timing->reset();
        c->speak(kPhrase);
        noteRound(out, *timing, t0);
        agent.waitUntilIdle(60000);
    }
    return out;
}

void realTimeFactor(const char* what, Engine& engine) {
    const QStringList pieces = splitForSynthesis(normalizeForSpeech(kHundred));
    (void)engine.synthesize(QStringLiteral("準備"), {});  // warm up
    double audioSeconds = 0;
    double heardSeconds = 0;  // with the engine's padding trimmed, as played
    QElapsedTimer timer;
    timer.start();
    std::vector<Audio> out;
    for (const QString& piece : pieces) {
        Synthesis s = engine.synthesize(piece, {});
        out.push_back(s.value());
    }
    const double synthSeconds = timer.nsecsElapsed() / 1e9;
    for (Audio& a : out) {
        audioSeconds += a.seconds();
        trimSilence(a, 30, 200);
        heardSeconds += a.seconds();
    }
    std::printf(
        "  %-10s %d chars in %d pieces: synthesis %.3f s for %.2f s of output: RTF %.3f"
        " (%.3f against the %.2f s heard after trimming pauses)\n",
        what, int(kHundred.size()), int(pieces.size()), synthSeconds, audioSeconds,
        synthSeconds / audioSeconds, synthSeconds / heardSeconds, heardSeconds);
}

void memory(std::function<std::unique_ptr<Engine>()> factory, const char* what) {
    const long before = residentKb();
    Agent agent({QString(),
                 {QStringLiteral(ORVANE_SOURCE_DIR "/components/speech/characters")},
                 std::move(factory),
                 std::make_shared<PacedSink>(20.0),
                 0});
    Character* c = genie(agent);
    for (int i = 0; i < 1000; ++i) {
        c->speak(QStringLiteral("%1通目。").arg(i + 1) + kHundred);
    }
    const long queued = residentKb();
    long peak = queued;
    for (int s = 0; s < 20; ++s) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        peak = std::max(peak, residentKb());
    }
    std::printf(
        "  %-10s RSS before %ld KiB, after queuing 1000 texts %ld KiB, peak over 10 s "
        "of speaking %ld KiB (+%ld KiB)\n",
        what, before, queued, peak, peak - before);
    std::printf("  %-10s all 1000 texts as audio would take about %.0f MiB\n", what,
                1000 * 11.0 * 48000 * 2 / 1048576.0);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString voice = voicePath();
    const int rounds = 20;

    orvane::testing::VirtualSoundDevice device;
    std::printf("sound device: %s\n",
                device.available()
                    ? "private PulseAudio through PortAudio/ALSA"
                    : qPrintable("none (" + device.whyNot() + "); timing up to the sink"));
    auto sinkFactory = [&]() -> std::shared_ptr<AudioSink> {
        if (device.available()) {
            return std::make_shared<PortAudioSink>();
        }
        return std::make_shared<PacedSink>(1.0);
    };
    QTemporaryDir work;
    // Sections named on the command line, or all of them.
    const QStringList asked = QCoreApplication::arguments().mid(1);
    const auto wanted = [&](const char* section) {
        return asked.isEmpty() || asked.contains(QLatin1String(section));
    };

    if (wanted("latency")) {
        std::printf("\nlatency: Speak(\"%s\") to the first sample handed to the device\n",
                    qPrintable(kPhrase));
        if (!voice.isEmpty()) {
            auto jtalk = [voice] { return std::make_unique<OpenJTalkEngine>(voice); };
            printLatency("Open JTalk, each time synthesised",
                         speakLatency(jtalk, sinkFactory(), rounds, false));
            printLatency("Open JTalk, repeated prompt from the cache",
                         speakLatency(jtalk, sinkFactory(), rounds, true));
            printLatency("peer: one-shot open_jtalk run, WAV as written",
                         oneShotOpenJTalk(voice, rounds));
        } else {
            std::printf("  Open JTalk: skipped, no HTS voice (ORVANE_VOICE / ORVANE_SHARED_DIR)\n");
        }
        printLatency("fallback (MeCab kana + espeak-ng)",
                     speakLatency(makeEspeak, sinkFactory(), rounds, false));
    }

    if (wanted("stop")) {
        std::printf(
            "\nlatency: stop() while a long text is read, then Speak(\"%s\"), to its first "
            "sample handed to the device\n",
            qPrintable(kPhrase));
        if (!voice.isEmpty()) {
            printLatency(
                "Open JTalk",
                stopAndSpeakLatency([voice] { return std::make_unique<OpenJTalkEngine>(voice); },
                                    sinkFactory(), 10));
        }
        printLatency("fallback (MeCab kana + espeak-ng)",
                     stopAndSpeakLatency(makeEspeak, sinkFactory(), 10));
    }

    if (wanted("rtf")) {
        std::printf("\nreal-time factor\n");
        if (!voice.isEmpty()) {
            OpenJTalkEngine jtalk(voice);
            realTimeFactor("jtalk", jtalk);
        }
        auto espeak = makeEspeak();
        realTimeFactor("espeak", *espeak);
        espeak.reset();
    }

    if (wanted("memory")) {
        std::printf("\nmemory with 1000 queued texts (device at 20x real time)\n");
        if (!voice.isEmpty()) {
            memory([voice] { return std::make_unique<OpenJTalkEngine>(voice); }, "jtalk");
        }
        memory(makeEspeak, "espeak");
    }

    if (wanted("clips")) {
        orvane::speech::bench::printClipFigures(device.available(), work.path());
    }
    return 0;
}
