#include "speech_output.h"
#include "agent.h"
#include "character.h"
#include "fake_engine.h"
#include "portaudio_sink.h"
#include "test_sink.h"

#include <QFile>
#include <QTemporaryDir>

#include "qstring_printer.h"

#include <gtest/gtest.h>

#include <thread>

using namespace orvane::speech;
using orvane::speech::test::PacedSink;

namespace {

QStringList transcriptTexts(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    QStringList texts;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        texts << line.section(u'\t', 1);
    }
    return texts;
}

// Joins the pieces the sink got back into the texts that were played.
QString played(const RecordingSink& sink) {
    QString all;
    for (const Audio& a : sink.pieces()) {
        all += TextAsAudioEngine::decode(a) + u'|';
    }
    return all;
}

}  // namespace

TEST(SpeechOutput, BurstFromSeveralThreadsIsPlayedWholeAndInOrderPerCaller) {
    auto sink = std::make_shared<RecordingSink>();
    SpeechOutput output({std::nullopt, std::make_unique<TextAsAudioEngine>(1), sink});
    // Two callers queue at once; each caller's texts must come out in its order.
    auto caller = [&output](const QString& tag) {
        for (int i = 0; i < 40; ++i) {
            output.speak(QStringLiteral("%1%2番目のテキストです。続きの文").arg(tag).arg(i), {});
        }
    };
    std::thread a(caller, QStringLiteral("A")), b(caller, QStringLiteral("B"));
    a.join();
    b.join();
    ASSERT_TRUE(output.waitUntilIdle(30000));
    EXPECT_EQ(output.lastFinished(), 80u);

    const QStringList pieces = played(*sink).split(u'|', Qt::SkipEmptyParts);
    ASSERT_EQ(pieces.size(), 160);  // every text is two sentences
    int next[2] = {0, 0};
    for (qsizetype i = 0; i < pieces.size(); i += 2) {
        const int who = pieces[i].startsWith(u'A') ? 0 : 1;
        EXPECT_EQ(pieces[i], QStringLiteral("%1%2番目のテキストです。")
                                 .arg(who == 0 ? QStringLiteral("A") : QStringLiteral("B"))
                                 .arg(next[who]++));
        EXPECT_EQ(pieces[i + 1], QStringLiteral("続きの文"));  // the same text goes on
    }
}

TEST(SpeechOutput, SpeakReturnsAtOnceAndOnlyAFewTextsAreSynthesisedAhead) {
    auto sink = std::make_shared<RecordingSink>();
    auto engine = std::make_unique<TextAsAudioEngine>(20);
    TextAsAudioEngine* fake = engine.get();
    SpeechOutput output({std::nullopt, std::move(engine), sink});
    for (int i = 0; i < 1000; ++i) {
        output.speak(QStringLiteral("テキスト%1").arg(i), {});
    }
    // 1000 texts at 20 ms each would take 20 s: speak() did not wait for them, and
    // synthesis has only just begun.
    EXPECT_LT(fake->calls.load(), 100);
    EXPECT_FALSE(output.isIdle());
}

TEST(SpeechOutput, EngineErrorOnOneTextIsReportedAndTheQueueGoesOn) {
    QTemporaryDir dir;
    auto sink = std::make_shared<RecordingSink>();
    ::testing::internal::CaptureStderr();
    {
        SpeechOutput output({dir.filePath("t.txt"), std::make_unique<TextAsAudioEngine>(), sink});
        output.speak("前", {});
        output.speak("FAILする文", {});
        output.speak("", {});
        output.speak("後", {});
        ASSERT_TRUE(output.waitUntilIdle(10000));
    }
    EXPECT_EQ(played(*sink), QStringLiteral("前|後|"));
    EXPECT_EQ(transcriptTexts(dir.filePath("t.txt")), (QStringList{"前", "FAILする文", "", "後"}));
    const QString errors = QString::fromStdString(::testing::internal::GetCapturedStderr());
    EXPECT_TRUE(errors.contains(QStringLiteral("could not speak \"FAILする文\"")))
        << errors.toStdString();
}

// A machine without any sound device: ALSA is given a configuration whose default
// device does not exist.
TEST(SpeechOutput, NoSoundDeviceStillStartsKeepsTheTranscriptAndSaysWhyOnce) {
    QTemporaryDir dir;
    const QString alsa = dir.filePath("asound.conf");
    {
        QFile f(alsa);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("pcm.!default { type hw card 97 }\nctl.!default { type hw card 97 }\n");
    }
    const QByteArray savedAlsa = qgetenv("ALSA_CONFIG_PATH");
    qputenv("ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + alsa.toLocal8Bit());
    const QByteArray savedPulse = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/orvane-no-server");
    ::testing::internal::CaptureStderr();
    {
        Agent agent({dir.filePath("t.txt"),
                     {},
                     [] { return std::make_unique<TextAsAudioEngine>(); },
                     nullptr});
        Character* c = agent.loadDefault("genie");
        // A ten-second beep first: without a device it passes at once, unplayed.
        c->playTone(440, 10000);
        for (const char* text : {"一", "二", "三"}) {
            c->speak(QString::fromUtf8(text));
        }
        EXPECT_TRUE(agent.waitUntilIdle(8000));
    }
    const QString errors = QString::fromStdString(::testing::internal::GetCapturedStderr());
    qputenv("ALSA_CONFIG_PATH", savedAlsa);
    qputenv("PULSE_SERVER", savedPulse);
    EXPECT_EQ(transcriptTexts(dir.filePath("t.txt")), (QStringList{"一", "二", "三"}));
    EXPECT_EQ(errors.count(QStringLiteral("going on without sound")), 1) << errors.toStdString();
    EXPECT_EQ(errors.count(u'\n'), 1) << "only our one line: " << errors.toStdString();
}

TEST(SpeechOutput, RepeatedTextComesFromTheCacheUnlessTurnedOff) {
    for (const std::size_t cacheBytes : {std::size_t(1 << 20), std::size_t(0)}) {
        SCOPED_TRACE(cacheBytes);
        auto sink = std::make_shared<RecordingSink>();
        auto engine = std::make_unique<TextAsAudioEngine>();
        TextAsAudioEngine* fake = engine.get();
        SpeechOutput::Options options{std::nullopt, std::move(engine), sink};
        options.cacheBytes = cacheBytes;
        SpeechOutput output(std::move(options));
        VoiceSettings slow;
        slow.speed = 0.8;
        for (int i = 0; i < 3; ++i) {
            output.speak("同じ文", {});
        }
        output.speak("同じ文", slow);  // another voice is another sound
        ASSERT_TRUE(output.waitUntilIdle(10000));
        EXPECT_EQ(played(*sink), QStringLiteral("同じ文|同じ文|同じ文|同じ文|"));
        EXPECT_EQ(fake->calls.load(), cacheBytes ? 2 : 4);
    }
}

namespace {

// A clip whose samples spell `text`, like the fake engine's speech.
std::unique_ptr<ClipSource> textClip(const QString& text) {
    return std::make_unique<AudioClip>(TextAsAudioEngine(0, {}).synthesize(text, {}).value());
}

}  // namespace

TEST(SpeechOutputStop, CutsTextsAndClipsAndWhatFollowsIsPlayed) {
    auto sink = std::make_shared<PacedSink>(50);
    SpeechOutput output({std::nullopt, std::make_unique<TextAsAudioEngine>(), sink});
    quint64 lastBefore = 0;
    for (int i = 0; i < 100; ++i) {
        output.speak(QStringLiteral("前%1。その続き").arg(i), {});
    }
    lastBefore = output.play(textClip(QStringLiteral("前の音")));
    ASSERT_TRUE(sink->waitForPieces(1));

    std::vector<quint64> cleared;
    QObject::connect(&output, &SpeechOutput::cleared, [&](quint64 id) { cleared.push_back(id); });
    output.stop();
    sink->round = 1;
    EXPECT_TRUE(output.isIdle()) << "everything queued was dropped";
    EXPECT_EQ(cleared, std::vector<quint64>{lastBefore});

    output.speak(QStringLiteral("後の文"), {});
    output.play(textClip(QStringLiteral("後の音")));
    ASSERT_TRUE(output.waitUntilIdle(10000));
    EXPECT_EQ(output.lastFinished(), lastBefore + 2);

    QStringList afterStop;
    int before = 0;
    for (const auto& p : sink->played()) {
        if (p.round == 0) {
            ++before;
        } else {
            afterStop << p.text;
        }
    }
    EXPECT_EQ(afterStop, (QStringList{"後の文", "後の音"}));
    EXPECT_LT(before, 5) << "a stopped queue went on playing";
    EXPECT_GE(sink->discards.load(), 1) << "the sink was not told to silence what it holds";
}

// A user holding an arrow key: every row cuts off the one before. Each round may
// only ever be heard saying its own text, never a stale piece of an earlier one.
TEST(SpeechOutputStop, QuickRunsOfStopAndSpeakPlayOnlyTheNewestText) {
    auto sink = std::make_shared<PacedSink>(3);
    SpeechOutput output({std::nullopt, std::make_unique<TextAsAudioEngine>(2), sink});
    constexpr int kRounds = 60;
    for (int round = 1; round <= kRounds; ++round) {
        output.stop();
        sink->round = round;
        output.speak(QStringLiteral("行%1の件名。差出人").arg(round), {});
        if (round % 7 == 0) {
            output.play(textClip(QStringLiteral("音%1").arg(round)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
    }
    ASSERT_TRUE(output.waitUntilIdle(10000));
    const auto played = sink->played();
    ASSERT_FALSE(played.empty());
    for (const auto& p : played) {
        EXPECT_TRUE(p.text.startsWith(QStringLiteral("行%1の").arg(p.round)) ||
                    p.text == QStringLiteral("差出人") ||
                    p.text == QStringLiteral("音%1").arg(p.round))
            << "round " << p.round << " played \"" << p.text.toStdString() << "\"";
    }
    // The last row is heard whole.
    QStringList last;
    for (const auto& p : played) {
        if (p.round == kRounds) {
            last << p.text;
        }
    }
    EXPECT_EQ(last, (QStringList{QStringLiteral("行%1の件名。").arg(kRounds), "差出人"}));
}
