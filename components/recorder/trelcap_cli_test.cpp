// trelcap as a program: its command lines, the files it leaves, its failures and Ctrl+C.
#include "trelcap_test_support.h"

#include <signal.h>

namespace orvane::recorder {
namespace {

using testing::args;
using testing::Finished;
using testing::runTrelcap;
using testing::trelcapPath;
using testing::TrelcapProgram;

struct OutputRow {
    const char* name;
    QStringList args;
    QString file;  // what must appear in the working directory
    int rate;
    double seconds;
    double peak;
};

class TrelcapWrites : public TrelcapProgram, public ::testing::WithParamInterface<OutputRow> {};

TEST_P(TrelcapWrites, AFileThatDecodesBack) {
    const auto& row = GetParam();
    const Finished run = runTrelcap(row.args, dir_.path());
    ASSERT_EQ(run.status, QProcess::NormalExit);
    ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("wrote " + row.file)) << run.out.toStdString();

    const std::string file = path(row.file).toStdString();
    const auto decoded = row.file.endsWith(".mp3")   ? testing::decodeMp3(file)
                         : row.file.endsWith(".wav") ? testing::decodeWav(file)
                                                     : testing::decodeWithLibav(file);
    ASSERT_TRUE(decoded.has_value()) << row.file.toStdString();
    EXPECT_EQ(decoded->sampleRate, row.rate);
    EXPECT_NEAR(decoded->seconds, row.seconds, 0.1);
    EXPECT_NEAR(decoded->peak, row.peak, 0.1);
    EXPECT_EQ(files(), (QStringList{"in.wav", row.file}));  // no temporary left behind
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrelcapWrites,
    ::testing::Values(
        OutputRow{"Mp3", args("-i in.wav -t 60 -b 128 -f 12 out"), "out.mp3", 44100, 2.0, 0.5},
        // The mailer's fixed line, with -i standing in for the microphone.
        OutputRow{"MailerFixedForm",
                  args("-i in.wav -t 1 -b 32 -f 12 -sr 32.2 orvane-john.doe-20261206123456"),
                  "orvane-john.doe-20261206123456.mp3", 32000, 1.0, 0.5},
        OutputRow{"LameVbr", args("-i in.wav -LAME -v 2 vbr.mp3"), "vbr.mp3", 44100, 2.0, 0.5},
        OutputRow{"Wav", args("-i in.wav -t 5 -WAV out"), "out.wav", 44100, 2.0, 0.5},
        OutputRow{"WavConvertedTo32k", args("-i in.wav -WAV -sr 32.0 out"), "out.wav", 32000, 2.0,
                  0.5},
        OutputRow{"Wma", args("-i in.wav -WMA -b 64 out"), "out.wma", 44100, 2.0, 0.5},
        OutputRow{"BoostClipsAtFullScale", args("-i in.wav -bs2 -WAV loud"), "loud.wav", 44100, 2.0,
                  1.0},
        OutputRow{"WholeLineInOneArgument",
                  QStringList{R"(-t 1 -b 64 -f 12 -i in.wav  "my  file")"}, "my  file.mp3", 44100,
                  1.0, 0.5},
        OutputRow{"QuotesLeftInArguments", QStringList{"-t", "1", "-i", "in.wav", "\"my", "file\""},
                  "my file.mp3", 44100, 1.0, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TrelcapProgram, SilenceEndsTheRecording) {
    writeToneWav(path("pause.wav"), {{1, 0.5}, {6, 0.002}, {1, 0.5}});
    const Finished run =
        runTrelcap({"-i", "pause.wav", "-WAV", "-sl", "10", "-ms", "2", "out"}, dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("silence for 2 s")) << run.out.toStdString();
    const auto decoded = testing::decodeWav(path("out.wav").toStdString());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_NEAR(decoded->seconds, 3.0, 0.15);
}

struct FailureRow {
    const char* name;
    QStringList args;
    int exitCode;
    const char* says;
};

class TrelcapRefuses : public TrelcapProgram, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(TrelcapRefuses, WithOneLineAndNoFile) {
    const auto& row = GetParam();
    QFile notes(path("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a sound\n");
    notes.close();

    const Finished run = runTrelcap(row.args, dir_.path());
    EXPECT_EQ(run.status, QProcess::NormalExit);
    EXPECT_EQ(run.exitCode, row.exitCode);
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith("trelcap: error: ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(row.says)) << run.err.toStdString();
    EXPECT_EQ(files(), (QStringList{"in.wav", "notes.txt"}));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrelcapRefuses,
    ::testing::Values(
        FailureRow{"BadSwitch", args("-i in.wav -q out"), 2, "unknown switch -q"},
        FailureRow{"BadValue", args("-i in.wav -f 0 out"), 2, "-f"},
        FailureRow{"MissingInput", args("-i gone.wav out"), 1, "cannot read input file"},
        FailureRow{"InputNotSound", args("-i notes.txt out"), 1, "cannot read input file"},
        FailureRow{"FolderIsAFile", args("-i in.wav notes.txt/out"), 1,
                   "cannot write \"notes.txt/out.mp3\""},
        FailureRow{"NoSuchFolder", args("-i in.wav none/out"), 1, "cannot write"},
        FailureRow{"OutputIsAFolder", args("-i in.wav -WAV ."), 1, "cannot write"}),
    [](const auto& info) { return std::string(info.param.name); });

// Without a sound server or card there is nothing to record from. On a machine with a
// sound card the device exists and this has nothing to show.
TEST_F(TrelcapProgram, NoInputDeviceIsOneLine) {
    QFile config(path("client.conf"));
    ASSERT_TRUE(config.open(QIODevice::WriteOnly));
    config.write("autospawn = no\n");
    config.close();
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("PULSE_SERVER", "unix:" + path("no-server"));
    env.insert("PULSE_CLIENTCONFIG", path("client.conf"));
    env.remove("ALSA_CONFIG_PATH");
    const Finished run = runTrelcap({"-t", "1", "-f", "12", "out"}, dir_.path(), env);
    if (run.exitCode == 0) {
        GTEST_SKIP() << "this machine has a sound input device";
    }
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("no input device")) << run.err.toStdString();
    EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("out.mp3")));
    EXPECT_EQ(files(), (QStringList{"client.conf", "in.wav"}));
}

struct InterruptRow {
    const char* name;
    QString format;  // switch
    QString file;
};

class TrelcapInterrupted : public TrelcapProgram,
                           public ::testing::WithParamInterface<InterruptRow> {};

// Ctrl+C during a recording that would take 10 s keeps what was recorded so far.
TEST_P(TrelcapInterrupted, LeavesAShorterPlayableFile) {
    const auto& row = GetParam();
    writeToneWav(path("long.wav"), {{10, 0.5}});
    QProcess process;
    process.setWorkingDirectory(dir_.path());
    process.start(trelcapPath(), {"-i", "long.wav", "-realtime", "-t", "10", row.format, "rec"});
    ASSERT_TRUE(process.waitForStarted());
    QByteArray out;
    while (!out.contains("1.0 s") && process.state() == QProcess::Running) {
        process.waitForReadyRead(5000);
        out += process.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("1.0 s")) << out.toStdString();
    ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
    ASSERT_TRUE(process.waitForFinished(20000));
    out += process.readAllStandardOutput();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(out.contains("stopped by Ctrl+C")) << out.toStdString();

    const std::string file = path(row.file).toStdString();
    const auto decoded =
        row.file.endsWith(".mp3") ? testing::decodeMp3(file) : testing::decodeWav(file);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_GE(decoded->seconds, 1.0);
    EXPECT_LT(decoded->seconds, 8.0);
    EXPECT_EQ(decoded->sampleRate, 44100);
    EXPECT_EQ(files(), (QStringList{"in.wav", "long.wav", row.file}));
}

INSTANTIATE_TEST_SUITE_P(Rows, TrelcapInterrupted,
                         ::testing::Values(InterruptRow{"Mp3", "-LAME", "rec.mp3"},
                                           InterruptRow{"Wav", "-WAV", "rec.wav"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::recorder
