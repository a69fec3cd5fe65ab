// Sound files and beeps on the speech queue, as the mailer and the checker use them.
#include "agent.h"
#include "character.h"
#include "fake_engine.h"
#include "mp3_clip.h"
#include "qstring_printer.h"
#include "test_sounds.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane::speech;
using namespace orvane::speech::test;
using orvane::FailureKind;

namespace {

// An Agent with the engine that ORVANE_SPEECH names, playing into a RecordingSink.
struct AgentWithEngineFromEnvironment {
    explicit AgentWithEngineFromEnvironment(const char* speech)
        : saved(qgetenv("ORVANE_SPEECH")),
          set((qputenv("ORVANE_SPEECH", speech), true)),
          agent({QString(), {}, nullptr, sink}),
          character(agent.loadDefault("genie")) {}
    ~AgentWithEngineFromEnvironment() { qputenv("ORVANE_SPEECH", saved); }

    QByteArray saved;
    bool set;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
    Agent agent;
    Character* character;
};

Agent::Options textAsAudio(std::shared_ptr<AudioSink> sink) {
    return {QString(), {}, [] { return std::make_unique<TextAsAudioEngine>(); }, sink};
}

}  // namespace

TEST(PlayMp3, EveryLayoutIsHeardWholeAtItsPitchAlsoWithSpeechTurnedOff) {
    QTemporaryDir dir;
    struct Row {
        const char* name;
        int rate;
        int channels;
        QStringList effects;
        double hertz;
        double seconds;
        double peak;  // of the mono mix
    };
    const Row rows[] = {
        {"32 kHz mono, as a voice mail",
         32000,
         1,
         {"synth", "1.5", "sine", "440", "gain", "-6"},
         440,
         1.5,
         0.5},
        {"44.1 kHz stereo", 44100, 2, {"synth", "1", "sine", "660", "gain", "-6"}, 660, 1.0, 0.5},
        {"stereo, sound on the right only",
         44100,
         2,
         {"synth", "1", "sine", "550", "gain", "-6", "remix", "0", "1"},
         550,
         1.0,
         0.25},
        {"8 kHz mono", 8000, 1, {"synth", "2", "sine", "300", "gain", "-6"}, 300, 2.0, 0.5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath("clip.mp3");
        const QString sox = writeWithSox(path, row.rate, row.channels, row.effects);
        if (!sox.isEmpty()) {
            GTEST_SKIP() << sox.toStdString();
        }
        AgentWithEngineFromEnvironment silent("none");
        ASSERT_EQ(silent.agent.engineName(), "none");
        const auto played = silent.character->playMp3(path);
        ASSERT_TRUE(played.ok()) << played.failure().reason.toStdString();
        // The checker deletes a mail's files once it has handed them over.
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(silent.agent.waitUntilIdle(20000));

        const auto pieces = silent.sink->pieces();
        ASSERT_FALSE(pieces.empty());
        for (const Audio& piece : pieces) {
            EXPECT_EQ(piece.sampleRate, row.rate);
        }
        const Audio clip = joined(pieces);
        EXPECT_NEAR(audibleSeconds(clip), row.seconds, 0.03);
        EXPECT_LT(clip.seconds(), row.seconds + 0.25) << "more than the encoder's padding";
        EXPECT_NEAR(pitchOf(clip), row.hertz, row.hertz * 0.02);
        EXPECT_NEAR(peakOf(clip), row.peak, 0.08);
    }
}

TEST(PlayMp3, FilesThatCannotBePlayedAreRefusedAndNothingIsQueued) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    };
    QByteArray noise(64 * 1024, '\0');
    for (qsizetype i = 0; i < noise.size(); ++i) {
        noise[i] = char((i * 7919 + i / 13) & 0xff);
    }
    QString wav = dir.filePath("tone.wav");
    if (!writeWithSox(wav, 16000, 1, {"synth", "1", "sine", "300"}).isEmpty()) {
        wav = write("tone.wav", "RIFF....WAVEfmt ");
    }
    QDir(dir.path()).mkdir("folder.mp3");
    const struct {
        const char* name;
        QString path;
        FailureKind kind;
    } rows[] = {
        {"missing", dir.filePath("missing.mp3"), FailureKind::NotFound},
        {"in a missing folder", dir.filePath("no/such.mp3"), FailureKind::NotFound},
        {"empty", write("empty.mp3", {}), FailureKind::BadInput},
        {"text", write("text.mp3", "これは音声ではありません\n"), FailureKind::BadInput},
        {"noise", write("noise.mp3", noise), FailureKind::BadInput},
        {"a WAV file", wav, FailureKind::BadInput},
        {"a folder", dir.filePath("folder.mp3"), FailureKind::BadInput},
    };
    auto sink = std::make_shared<RecordingSink>();
    Agent agent(textAsAudio(sink));
    Character* c = agent.loadDefault("genie");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto played = c->playMp3(row.path);
        ASSERT_FALSE(played.ok());
        EXPECT_EQ(played.failure().kind, row.kind);
        EXPECT_TRUE(played.failure().reason.startsWith(QStringLiteral("音声ファイル ") +
                                                       QFileInfo(row.path).fileName()))
            << played.failure().reason.toStdString();
    }
    EXPECT_TRUE(agent.waitUntilIdle(0));
    EXPECT_TRUE(sink->pieces().empty());
}

TEST(PlayMp3, PlaysAfterTheSpeechQueuedBeforeIt) {
    QTemporaryDir dir;
    const QString path = dir.filePath("voice.mp3");
    const QString sox = writeWithSox(path, 32000, 1, {"synth", "1", "sine", "440"});
    if (!sox.isEmpty()) {
        GTEST_SKIP() << sox.toStdString();
    }
    auto sink = std::make_shared<RecordingSink>();
    Agent agent(textAsAudio(sink));
    Character* c = agent.loadDefault("genie");
    c->speak(QStringLiteral("添付の音声を再生します"));
    ASSERT_TRUE(c->playMp3(path).ok());
    c->speak(QStringLiteral("再生が終わりました"));
    ASSERT_TRUE(agent.waitUntilIdle(20000));
    QStringList order;
    for (const Audio& a : sink->pieces()) {
        const QString what = a.sampleRate == 32000 ? "clip" : TextAsAudioEngine::decode(a);
        if (order.isEmpty() || order.back() != what) {
            order << what;
        }
    }
    EXPECT_EQ(order, (QStringList{"添付の音声を再生します", "clip", "再生が終わりました"}));
}

TEST(PlayTone, IsABeepOfTheAskedPitchAndLengthQueuedLikeAClip) {
    auto sink = std::make_shared<RecordingSink>();
    Agent agent(textAsAudio(sink));
    Character* c = agent.loadDefault("genie");
    c->speak(QStringLiteral("録音を始めます"));
    c->playTone(1000, 300);
    c->playTone(880, 0);          // nothing
    c->playTone(440, 3'600'000);  // a mistaken hour is cut to ten seconds
    ASSERT_TRUE(agent.waitUntilIdle(10000));
    const auto pieces = sink->pieces();
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(TextAsAudioEngine::decode(pieces[0]), QStringLiteral("録音を始めます"));
    EXPECT_NEAR(pieces[1].seconds(), 0.3, 0.001);
    EXPECT_NEAR(pitchOf(pieces[1]), 1000, 10);
    EXPECT_NEAR(peakOf(pieces[1]), 0.5, 0.02);
    // It starts and ends softly: no click.
    EXPECT_LT(std::abs(pieces[1].samples.front()), 500);
    EXPECT_LT(std::abs(pieces[1].samples.back()), 500);
    EXPECT_NEAR(pieces[2].seconds(), 10.0, 0.001);
}
