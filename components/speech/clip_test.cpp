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

// An Agent whose speech `Engine` makes, playing into `sink`.
template <class Engine>
Agent::Options playingInto(std::shared_ptr<AudioSink> sink) {
    return {QString(), {}, [] { return std::make_unique<Engine>(); }, std::move(sink)};
}

}  // namespace

// Speech turned off (the "none" engine) still plays the files.
TEST(PlayMp3, EveryLayoutIsHeardWholeAtItsPitchAlsoWithSpeechTurnedOff) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        int rate;
        int channels;
        double seconds;
        double hertz;
        bool rightOnly;  // stereo with sound on the right only: half the level in the mix
    } rows[] = {
        {"32 kHz mono, as a voice mail", 32000, 1, 1.5, 440, false},
        {"44.1 kHz stereo", 44100, 2, 1.0, 660, false},
        {"stereo, sound on the right only", 44100, 2, 1.0, 550, true},
        {"8 kHz mono", 8000, 1, 2.0, 300, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = dir.filePath("clip.mp3");
        QStringList effects{"synth", QString::number(row.seconds),
                            "sine",  QString::number(row.hertz),
                            "gain",  "-6"};
        if (row.rightOnly) {
            effects << "remix"
                    << "0"
                    << "1";
        }
        const QString sox = writeWithSox(path, row.rate, row.channels, effects);
        if (!sox.isEmpty()) {
            GTEST_SKIP() << sox.toStdString();
        }
        auto sink = std::make_shared<RecordingSink>();
        Agent agent(playingInto<SilentEngine>(sink));
        const auto played = agent.loadDefault("genie")->playMp3(path);
        ASSERT_TRUE(played.ok()) << played.failure().reason.toStdString();
        // The checker deletes a mail's files once it has handed them over.
        ASSERT_TRUE(QFile::remove(path));
        ASSERT_TRUE(agent.waitUntilIdle(20000));

        const auto pieces = sink->pieces();
        ASSERT_FALSE(pieces.empty());
        for (const Audio& piece : pieces) {
            EXPECT_EQ(piece.sampleRate, row.rate);
        }
        const Audio clip = joined(pieces);
        EXPECT_NEAR(audibleSeconds(clip), row.seconds, 0.03);
        EXPECT_LT(clip.seconds(), row.seconds + 0.25) << "more than the encoder's padding";
        EXPECT_NEAR(pitchOf(clip), row.hertz, row.hertz * 0.02);
        EXPECT_NEAR(peakOf(clip), row.rightOnly ? 0.25 : 0.5, 0.08);
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
    Agent agent(playingInto<TextAsAudioEngine>(sink));
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

// Files and beeps take their turn on the speech queue.
TEST(PlayTone, IsABeepOfTheAskedPitchAndLengthQueuedLikeAClip) {
    QTemporaryDir dir;
    const QString voice = dir.filePath("voice.mp3");
    const QString sox = writeWithSox(voice, 32000, 1, {"synth", "1", "sine", "440"});
    if (!sox.isEmpty()) {
        GTEST_SKIP() << sox.toStdString();
    }
    auto sink = std::make_shared<RecordingSink>();
    Agent agent(playingInto<TextAsAudioEngine>(sink));
    Character* c = agent.loadDefault("genie");
    c->speak(QStringLiteral("録音を始めます"));
    c->playTone(1000, 300);
    c->playTone(880, 0);          // nothing
    c->playTone(440, 3'600'000);  // a mistaken hour is cut to ten seconds
    ASSERT_TRUE(c->playMp3(voice).ok());
    c->speak(QStringLiteral("再生が終わりました"));
    ASSERT_TRUE(agent.waitUntilIdle(20000));
    const auto pieces = sink->pieces();
    ASSERT_GE(pieces.size(), 5u);
    EXPECT_EQ(TextAsAudioEngine::decode(pieces[0]), QStringLiteral("録音を始めます"));
    EXPECT_NEAR(pieces[1].seconds(), 0.3, 0.001);
    EXPECT_NEAR(pitchOf(pieces[1]), 1000, 10);
    EXPECT_NEAR(peakOf(pieces[1]), 0.5, 0.02);
    // It starts and ends softly: no click.
    EXPECT_LT(std::abs(pieces[1].samples.front()), 500);
    EXPECT_LT(std::abs(pieces[1].samples.back()), 500);
    EXPECT_NEAR(pieces[2].seconds(), 10.0, 0.001);
    for (std::size_t i = 3; i + 1 < pieces.size(); ++i) {
        EXPECT_EQ(pieces[i].sampleRate, 32000) << "the file, between the beeps and the speech";
    }
    EXPECT_EQ(TextAsAudioEngine::decode(pieces.back()), QStringLiteral("再生が終わりました"));
}
