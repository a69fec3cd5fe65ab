// trelcap under hostile input and around other files: absurd WAV headers, folder names
// that look like URLs, recordings already there, and what a killed run leaves behind.
#include "trelcap_test_support.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

// A 16-bit PCM WAV file of `frames` frames of silence whose header claims `rate`.
void writeWavClaimingRate(const QString& path, quint32 rate, quint16 channels, int frames) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = static_cast<quint32>(frames) * channels * 2;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << channels << rate
        << static_cast<quint32>(static_cast<quint64>(rate) * channels * 2)
        << static_cast<quint16>(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    for (int i = 0; i < frames * channels; ++i) {
        out << qint16(0);
    }
}

struct Measured {
    int exitCode = -1;
    long peakKilobytes = 0;  // the child's largest resident size
    QString err;
};

// Runs trelcap with absolute paths and reports the peak memory of that one process.
Measured runMeasuringMemory(const QStringList& arguments, const QString& scratchDir) {
    const QByteArray program = trelcapPath().toLocal8Bit();
    std::vector<QByteArray> storage{program};
    for (const QString& a : arguments) {
        storage.push_back(a.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& a : storage) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const QByteArray errPath = (scratchDir + "/stderr.txt").toLocal8Bit();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Measured measured;
    if (spawned != 0) {
        return measured;
    }
    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    measured.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    measured.peakKilobytes = usage.ru_maxrss;
    QFile err(QString::fromLocal8Bit(errPath));
    if (err.open(QIODevice::ReadOnly)) {
        measured.err = QString::fromLocal8Bit(err.readAll());
    }
    return measured;
}

struct RateRow {
    const char* name;
    quint32 rate;
    quint16 channels;
    bool accepted;
};

class TrelcapClaimedRate : public TrelcapProgram, public ::testing::WithParamInterface<RateRow> {};

// The header's rate decides how much trelcap sets aside per block; an absurd one must be
// refused before anything of that size is made.
TEST_P(TrelcapClaimedRate, IsCappedAt384kHzWithoutALargeAllocation) {
    const auto& row = GetParam();
    writeWavClaimingRate(path("claim.wav"), row.rate, row.channels, 1000);
    QTemporaryDir scratch;
    const Measured run =
        runMeasuringMemory({"-i", path("claim.wav"), "-WAV", path("out")}, scratch.path());

    // A normal run stays far below this; 1 GHz once took over 400 MB.
    EXPECT_LT(run.peakKilobytes, 150 * 1024);
    if (row.accepted) {
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(QFile::exists(path("out.wav")));
    } else {
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("sampling rate")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("384000 Hz")) << run.err.toStdString();
        EXPECT_EQ(files(), (QStringList{"claim.wav", "in.wav"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, TrelcapClaimedRate,
                         ::testing::Values(RateRow{"OneGigahertzStereo", 1'000'000'000, 2, false},
                                           RateRow{"OneGigahertzMono", 1'000'000'000, 1, false},
                                           RateRow{"JustAbove384k", 384'001, 2, false},
                                           RateRow{"At384k", 384'000, 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ColonRow {
    const char* name;
    const char* folder;  // made first, when not empty
    QStringList args;
    QString file;
};

class TrelcapColon : public TrelcapProgram, public ::testing::WithParamInterface<ColonRow> {};

// A name like "a:b" must be a file name, never a protocol of the encoding library.
TEST_P(TrelcapColon, IsAPlainFileName) {
    const auto& row = GetParam();
    if (*row.folder != '\0') {
        ASSERT_TRUE(QDir(dir_.path()).mkdir(row.folder));
    }
    const Finished run = runTrelcap(row.args, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto decoded = decodeWithLibav(path(row.file).toStdString());
    ASSERT_TRUE(decoded.has_value()) << row.file.toStdString();
    EXPECT_NEAR(decoded->seconds, 2.0, 0.1);
    EXPECT_NEAR(decoded->peak, 0.5, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Rows, TrelcapColon,
                         ::testing::Values(ColonRow{"WmaIntoAFolderWithAColon", "a:b",
                                                    args("-i in.wav -WMA a:b/out"), "a:b/out.wma"},
                                           ColonRow{"WmaNamedLikeAUrl", "",
                                                    args("-i in.wav -WMA take:1"), "take:1.wma"},
                                           ColonRow{"Mp3IntoAFolderWithAColon", "c:d",
                                                    args("-i in.wav c:d/out"), "c:d/out.mp3"}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ExistingRow {
    const char* name;
    QStringList args;
    QString existing;
    QString second;  // written by the first run
    QString third;   // written by the second run
};

class TrelcapBesideExisting : public TrelcapProgram,
                              public ::testing::WithParamInterface<ExistingRow> {};

// A recording of the same name is never replaced: the new one gets " (2)", " (3)" ...
// before its extension, and the console names the file written.
TEST_P(TrelcapBesideExisting, NeverReplacesIt) {
    const auto& row = GetParam();
    QFile existing(path(row.existing));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("an earlier recording");
    existing.close();

    for (const QString& expected : {row.second, row.third}) {
        const Finished run = runTrelcap(row.args, dir_.path());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("wrote " + expected)) << run.out.toStdString();
        const std::string written = path(expected).toStdString();
        const auto decoded = expected.endsWith(".wav") ? decodeWav(written) : decodeMp3(written);
        ASSERT_TRUE(decoded.has_value()) << expected.toStdString();
        EXPECT_NEAR(decoded->seconds, 2.0, 0.1);
    }
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), "an earlier recording");
    QStringList expected{row.existing, row.second, row.third, "in.wav"};
    expected.sort();
    EXPECT_EQ(files(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrelcapBesideExisting,
    ::testing::Values(ExistingRow{"Mp3", args("-i in.wav out"), "out.mp3", "out (2).mp3",
                                  "out (3).mp3"},
                      ExistingRow{"WavNamedWithItsExtension", args("-i in.wav -WAV take.1.wav"),
                                  "take.1.wav", "take.1 (2).wav", "take.1 (3).wav"}),
    [](const auto& info) { return std::string(info.param.name); });

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
    killed.setWorkingDirectory(dir_.path());
    killed.start(trelcapPath(), {"-i", "long.wav", "-realtime", "-WAV", "rec"});
    ASSERT_TRUE(killed.waitForStarted());
    QByteArray out;
    while (!out.contains("1.0 s") && killed.state() == QProcess::Running) {
        killed.waitForReadyRead(5000);
        out += killed.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("1.0 s")) << out.toStdString();
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
    QStringList expected = keep;
    expected << ".young.mp3.trelcap-Ab12Cd"
             << ".busy.wma.trelcap-Ab12Cd"
             << "in.wav"
             << "long.wav"
             << "next.wav";
    expected.sort();
    EXPECT_EQ(files(), expected);
}

}  // namespace
}  // namespace orvane::recorder
