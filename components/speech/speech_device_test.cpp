// Real engines and the real audio path: speech played through PortAudio into a
// private PulseAudio server and recorded from its null sink's monitor.
#include "agent.h"
#include "character.h"
#include "espeak_engine.h"
#include "open_jtalk_engine.h"
#include "qstring_printer.h"
#include "test_sounds.h"
#include "text_normalizer.h"
#include "virtual_sound.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

using namespace orvane::speech;
using orvane::testing::measureWav;
using orvane::testing::VirtualSoundDevice;

namespace {

std::unique_ptr<Engine> makeEspeak() {
    auto made = EspeakEngine::create();
    if (!made) {
        ADD_FAILURE() << made.failure().reason.toStdString();
        return nullptr;
    }
    return std::move(made).value();
}

// Texts that once made engines fail or fall silent: none may.
const char* const kAwkwardTexts[] = {
    "Re: 会議の件",
    "♪　新着メッセージ",
    "10〜20件と10～20件",
    "ＡＢＣ１２３abc",
    "taro@example.jp",
    "http://x.jp/a?b=c",
    "(^_^)了解😀",
    "１２３４５６７８９０１２３４５６７８９",
    "<>&\"'",
    "メール\n本文\r\nです",
    "ｶﾀｶﾅ",
    "♪",
};

void expectEveryTextSynthesises(Engine& engine) {
    for (const char* text : kAwkwardTexts) {
        SCOPED_TRACE(text);
        const QString normalized = normalizeForSpeech(QString::fromUtf8(text));
        for (const QString& piece : splitForSynthesis(normalized)) {
            Synthesis result = engine.synthesize(piece, {});
            ASSERT_TRUE(result.ok()) << result.failure().reason.toStdString();
            EXPECT_GT(result->seconds(), 0.1) << piece.toStdString();
        }
    }
}

// Speaks through the default sink into the private server and measures what the
// monitor heard.
void expectAudibleSpeech(std::function<std::unique_ptr<Engine>()> engineFactory) {
    VirtualSoundDevice device;
    if (!device.available()) {
        GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
    }
    QTemporaryDir dir;
    const QString recording = dir.filePath("heard.wav");
    QString error;
    ASSERT_TRUE(device.startRecordingMonitor(recording, &error)) << error.toStdString();
    {
        Agent agent({dir.filePath("t.txt"),
                     {qEnvironmentVariable("ORVANE_SOURCE_DIR") + "/components/speech/characters"},
                     std::move(engineFactory),
                     nullptr});
        ASSERT_TRUE(agent.load("genie", "genie.acs").ok());
        agent.character("genie")->speak(QStringLiteral("受信フォルダーのメール数は3"));
        agent.character("genie")->speak(QStringLiteral("メールを削除しました"));
        ASSERT_TRUE(agent.waitUntilIdle(60000));
    }
    ASSERT_TRUE(device.stopRecording());
    const auto heard = measureWav(recording);
    ASSERT_TRUE(heard);
    // Two short sentences: a few seconds of speech, clearly above silence.
    EXPECT_GT(heard->audibleSeconds, 1.5);
    EXPECT_LT(heard->audibleSeconds, 12.0);
    EXPECT_GT(heard->peak, 0.05);
    EXPECT_GT(heard->rms, 0.005);
}

// The tests of Open JTalk need the HTS voice shared beside the repository.
class OpenJTalk : public ::testing::Test {
  protected:
    void SetUp() override {
        const QString shared = qEnvironmentVariable("ORVANE_SHARED_DIR");
        voice_ = QDir(shared).filePath("voices/tohoku-f01-neutral.htsvoice");
        if (shared.isEmpty() || !QFileInfo::exists(voice_)) {
            GTEST_SKIP() << "no HTS voice: ORVANE_SHARED_DIR/voices/tohoku-f01-neutral.htsvoice "
                            "is absent";
        }
    }
    QString voice_;
};

}  // namespace

TEST(FallbackEngine, NoTextMakesItFail) {
    auto engine = makeEspeak();
    ASSERT_TRUE(engine);
    expectEveryTextSynthesises(*engine);
}

TEST_F(OpenJTalk, NoTextMakesItFail) {
    OpenJTalkEngine engine(voice_);
    expectEveryTextSynthesises(engine);
}

TEST_F(OpenJTalk, CharacterVoiceSettingsChangeTheSound) {
    OpenJTalkEngine engine(voice_);
    const QString text = QStringLiteral("メールが届いています");
    VoiceSettings fast;
    fast.speed = 1.5;
    const Audio normal = engine.synthesize(text, {}).value();
    const Audio quick = engine.synthesize(text, fast).value();
    EXPECT_LT(quick.seconds(), normal.seconds() * 0.85);
    // The 48 kHz voice is rendered at 24 kHz (half the synthesis time), with
    // its 5 ms frames kept: the same text lasts as long as at the voice's rate.
    EXPECT_EQ(normal.sampleRate, 24000);
    EXPECT_GT(normal.seconds(), 0.8);
    EXPECT_LT(normal.seconds(), 3.0);
}

// A stop must not wait for a long stale text to be synthesised; the engine goes on
// working afterwards.
TEST_F(OpenJTalk, InterruptEndsTheSynthesisUnderWayOnly) {
    OpenJTalkEngine engine(voice_);
    QString longText;
    for (int i = 0; i < 6; ++i) {
        longText += QStringLiteral("本日の会議は午後三時から第二会議室で行います");
    }
    std::atomic<bool> done = false;
    std::thread interrupter([&] {
        while (!done) {
            engine.interrupt();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    const Synthesis interrupted = engine.synthesize(longText, {});
    done = true;
    interrupter.join();
    EXPECT_FALSE(interrupted.ok());

    const Synthesis next = engine.synthesize(QStringLiteral("次のメール"), {});
    ASSERT_TRUE(next.ok());
    EXPECT_GT(next->seconds(), 0.3);
}

TEST(AudioPath, FallbackEngineIsHeardOnTheDevice) {
    expectAudibleSpeech(makeEspeak);
}

TEST_F(OpenJTalk, IsHeardOnTheDevice) {
    expectAudibleSpeech([voice = voice_] { return std::make_unique<OpenJTalkEngine>(voice); });
}

namespace {

// Waits until the monitor's recording at `path` holds `seconds` of sound (or, with
// `audible`, of audible sound); the file is written by another process.
bool waitForRecorded(const QString& path, double seconds, bool audible = false) {
    return QTest::qWaitFor(
        [&] {
            const auto heard = measureWav(path);
            return heard && (audible ? heard->audibleSeconds : heard->seconds) >= seconds;
        },
        20000);
}

}  // namespace

// A voice mail's clip with speech turned off, then a stop in the middle of a long
// clip: what was heard is measured back from the monitor.
TEST(AudioPath, ClipsAreHeardOnTheDeviceAndAStopSilencesThem) {
    VirtualSoundDevice device;
    if (!device.available()) {
        GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
    }
    QTemporaryDir dir;
    const QString voiceMail = dir.filePath("voice.mp3");
    const QString sox = orvane::speech::test::writeWithSox(
        voiceMail, 32000, 1, {"synth", "1.5", "sine", "440", "gain", "-6"});
    if (!sox.isEmpty()) {
        GTEST_SKIP() << sox.toStdString();
    }
    Agent agent(
        {dir.filePath("t.txt"), {}, [] { return std::make_unique<SilentEngine>(); }, nullptr});
    Character* c = agent.loadDefault("genie");

    const QString whole = dir.filePath("whole.wav");
    QString error;
    ASSERT_TRUE(device.startRecordingMonitor(whole, &error)) << error.toStdString();
    // The monitor's first samples reach the file a little after the recorder has connected:
    // a sound played before then would be measured short.
    ASSERT_TRUE(waitForRecorded(whole, 0.1));
    for (int i = 0; i < 2; ++i) {
        c->playTone(1000, 300);  // at another rate than the clip: the stream is reopened
        ASSERT_TRUE(c->playMp3(voiceMail).ok());
    }
    ASSERT_TRUE(agent.waitUntilIdle(20000));
    ASSERT_TRUE(device.stopRecording());
    const auto heard = measureWav(whole);
    ASSERT_TRUE(heard);
    // 3.6 s, each piece heard to its end: a device that drops its buffer when the
    // rate changes or the queue runs dry costs some 50 ms each time.
    EXPECT_GT(heard->audibleSeconds, 3.4);
    EXPECT_LT(heard->audibleSeconds, 3.8);
    EXPECT_GT(heard->peak, 0.3);

    const QString cut = dir.filePath("cut.wav");
    ASSERT_TRUE(device.startRecordingMonitor(cut, &error)) << error.toStdString();
    ASSERT_TRUE(waitForRecorded(cut, 0.1));
    c->playTone(440, 10000);  // one piece: the device itself must stop in its middle
    ASSERT_TRUE(waitForRecorded(cut, 0.2, true));
    c->stop();
    c->playTone(1500, 1000);  // what follows the stop is heard
    ASSERT_TRUE(agent.waitUntilIdle(20000));
    ASSERT_TRUE(device.stopRecording());
    const auto afterStop = measureWav(cut);
    ASSERT_TRUE(afterStop);
    // Hardly any of the long beep, then the short one whole; not ten seconds.
    EXPECT_GT(afterStop->audibleSeconds, 0.9);
    EXPECT_LT(afterStop->audibleSeconds, 2.0);
}
