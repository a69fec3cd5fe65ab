// trelcap under hostile input and around other files: absurd WAV headers, folder names
// that look like URLs, recordings already there, and what a killed run leaves behind.
#include "trelcap_test_support.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QtEndian>

#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>

namespace orvane::recorder {
namespace {

using testing::args;
using testing::decodeMp3;
using testing::decodeWav;
using testing::decodeWithLibav;
using testing::Finished;
using testing::runTrelcap;
using testing::trelcapPath;
using testing::TrelcapProgram;

// A short WAV file of silence whose header claims `rate`: libsndfile's header, patched.
void writeWavClaimingRate(const QString& path, quint32 rate, quint16 channels) {
    ASSERT_TRUE(testing::writeToneWav(path.toStdString(), {{0.1, 0}}, 8000, channels, 440));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray header = file.read(32);
    ASSERT_TRUE(header.startsWith("RIFF") && header.mid(8, 8) == "WAVEfmt ");
    qToLittleEndian(rate, header.data() + 24);
    qToLittleEndian(quint32(quint64(rate) * channels * 2), header.data() + 28);
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(header), header.size());
}

// The header's rate decides how much trelcap sets aside per block; an absurd one must be
// refused before anything of that size is made.
TEST_F(TrelcapProgram, ClaimedRateIsCappedAt384kHzWithoutALargeAllocation) {
    const struct {
        const char* name;
        quint32 rate;
        quint16 channels;
        bool accepted;
    } rows[] = {{"1 GHz stereo", 1'000'000'000, 2, false},
                {"1 GHz mono", 1'000'000'000, 1, false},
                {"just above 384 kHz", 384'001, 2, false},
                {"384 kHz", 384'000, 2, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        writeWavClaimingRate(path("claim.wav"), row.rate, row.channels);
        const Finished run = runTrelcap(args("-i claim.wav -WAV out"), dir_.path());
        // The largest of this process's finished children: a normal run stays far below
        // this; 1 GHz once took over 400 MB.
        rusage children{};
        ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &children), 0);
        EXPECT_LT(children.ru_maxrss, 150 * 1024);
        if (row.accepted) {
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(QFile::remove(path("out.wav")));
        } else {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(run.err.contains("sampling rate")) << run.err.toStdString();
            EXPECT_TRUE(run.err.contains("384000 Hz")) << run.err.toStdString();
            EXPECT_EQ(files(), (QStringList{"claim.wav", "in.wav"}));
        }
    }
}

// A name like "a:b" must be a file name, never a protocol of the encoding library.
TEST_F(TrelcapProgram, NameWithAColonIsAPlainFileName) {
    ASSERT_TRUE(QDir(dir_.path()).mkdir("a:b") && QDir(dir_.path()).mkdir("c:d"));
    const struct {
        const char* name;
        QStringList args;
        QString file;
    } rows[] = {{"WMA into a folder with a colon", args("-i in.wav -WMA a:b/out"), "a:b/out.wma"},
                {"WMA named like a URL", args("-i in.wav -WMA take:1"), "take:1.wma"},
                {"MP3 into a folder with a colon", args("-i in.wav c:d/out"), "c:d/out.mp3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Finished run = runTrelcap(row.args, dir_.path());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const auto decoded = decodeWithLibav(path(row.file).toStdString());
        ASSERT_TRUE(decoded.has_value()) << row.file.toStdString();
        EXPECT_NEAR(decoded->seconds, 2.0, 0.1);
        EXPECT_NEAR(decoded->peak, 0.5, 0.1);
    }
}

// A recording of the same name is never replaced: the new one gets " (2)", " (3)" ...
// before its extension, and the console names the file written.
TEST_F(TrelcapProgram, NeverReplacesARecordingOfTheSameName) {
    const struct {
        const char* name;
        QStringList args;
        QStringList files;  // the one there first, then the two runs' files
    } rows[] = {{"MP3", args("-i in.wav out"), {"out.mp3", "out (2).mp3", "out (3).mp3"}},
                {"WAV named with its extension",
                 args("-i in.wav -WAV take.1.wav"),
                 {"take.1.wav", "take.1 (2).wav", "take.1 (3).wav"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile existing(path(row.files[0]));
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("an earlier recording");
        existing.close();
        for (const QString& expected : row.files.mid(1)) {
            const Finished run = runTrelcap(row.args, dir_.path());
            ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(run.out.contains("wrote " + expected)) << run.out.toStdString();
            const std::string written = path(expected).toStdString();
            const auto decoded =
                expected.endsWith(".wav") ? decodeWav(written) : decodeMp3(written);
            ASSERT_TRUE(decoded.has_value()) << expected.toStdString();
            EXPECT_NEAR(decoded->seconds, 2.0, 0.1);
        }
        ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
        EXPECT_EQ(existing.readAll(), "an earlier recording");
    }
    EXPECT_EQ(files(), (QStringList{"in.wav", "out (2).mp3", "out (3).mp3", "out.mp3",
                                    "take.1 (2).wav", "take.1 (3).wav", "take.1.wav"}));
}

// Sets a file's modification time `seconds` into the past.
void age(const QString& file, qint64 seconds) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(-seconds),
                              QFileDevice::FileModificationTime));
}

void makeFile(const QString& file, qint64 ageSeconds) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("partial");
    f.close();
    age(file, ageSeconds);
}

// A recorder killed outright leaves its hidden temporary file; the next run into that
// folder removes it, and only temporaries of its own that nobody is writing.
TEST_F(TrelcapProgram, RemovesStaleTemporariesOfItsOwnAtTheNextStart) {
    writeToneWav(path("long.wav"), {{10, 0.5}});
    QProcess killed;
    QByteArray out;
    ASSERT_TRUE(testing::startUntil(killed, trelcapPath(),
                                    {"-i", "long.wav", "-realtime", "-WAV", "rec"}, dir_.path(),
                                    "1.0 s", out))
        << out.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(killed.processId()), SIGKILL), 0);
    ASSERT_TRUE(killed.waitForFinished(20000));
    QStringList left = files().filter(QRegularExpression("^\\.rec\\.wav"));
    ASSERT_EQ(left.size(), 1) << files().join(' ').toStdString();
    const QString killedTemporary = left.front();
    constexpr qint64 kDay = 24 * 3600;
    age(path(killedTemporary), kDay);

    // Ours and stale, from another recording in the same folder.
    makeFile(path(".other.mp3.trelcap-Zz9Yy8"), kDay);
    // Left alone: other programs' names, our form for a file we never write, and ours
    // but just made or still held by a running recorder.
    const QStringList keep{".rec.wav.Ab12Cd", "rec.wav.trelcap-Ab12Cd", ".notes.txt.trelcap-Ab12Cd",
                           ".rec.wav.trelcap-toolong7"};
    for (const QString& name : keep) {
        makeFile(path(name), kDay);
    }
    makeFile(path(".young.mp3.trelcap-Ab12Cd"), 0);
    makeFile(path(".busy.wma.trelcap-Ab12Cd"), kDay);
    QFile busy(path(".busy.wma.trelcap-Ab12Cd"));
    ASSERT_TRUE(busy.open(QIODevice::ReadOnly));
    ASSERT_EQ(::flock(busy.handle(), LOCK_EX | LOCK_NB), 0);

    const Finished run = runTrelcap(args("-i in.wav -WAV next"), dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(killedTemporary)) << run.out.toStdString();
    QStringList expected =
        keep + QStringList{".young.mp3.trelcap-Ab12Cd", ".busy.wma.trelcap-Ab12Cd", "in.wav",
                           "long.wav", "next.wav"};
    expected.sort();
    EXPECT_EQ(files(), expected);
}

}  // namespace
}  // namespace orvane::recorder
