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

// The file a run left, decoded by a decoder of its own.
std::optional<testing::DecodedAudio> decoded(const QString& file) {
    const std::string path = file.toStdString();
    return file.endsWith(".mp3")   ? testing::decodeMp3(path)
           : file.endsWith(".wav") ? testing::decodeWav(path)
                                   : testing::decodeWithLibav(path);
}

TEST_F(TrelcapProgram, WritesAFileThatDecodesBack) {
    ASSERT_TRUE(testing::writeToneWav(path("mono22.wav").toStdString(), {{2, 0.5}}, 22050, 1, 440));
    ASSERT_TRUE(testing::writeToneWav(path("in48.wav").toStdString(), {{2, 0.5}}, 48000, 2, 440));
    ASSERT_TRUE(testing::writeToneWav(path("in8.wav").toStdString(), {{2, 0.5}}, 11025, 1, 440, 8));
    const struct {
        const char* name;
        QStringList args;
        QString file;  // what must appear in the working directory
        int rate;
        int channels;
        double seconds;
        double peak;
    } rows[] = {
        {"MP3", args("-i in.wav -t 60 -b 128 -f 12 out"), "out.mp3", 44100, 2, 2.0, 0.5},
        // The mailer's fixed line, with -i standing in for the microphone.
        {"mailer's fixed form",
         args("-i in.wav -t 1 -b 32 -f 12 -sr 32.2 orvane-john.doe-20261206123456"),
         "orvane-john.doe-20261206123456.mp3", 32000, 2, 1.0, 0.5},
        {"LAME VBR", args("-i in.wav -LAME -v 2 vbr.mp3"), "vbr.mp3", 44100, 2, 2.0, 0.5},
        {"VBR from mono 22 kHz", args("-i mono22.wav -v 2 m"), "m.mp3", 22050, 1, 2.0, 0.5},
        {"WAV", args("-i in.wav -t 5 -WAV out"), "out.wav", 44100, 2, 2.0, 0.5},
        {"WAV 8-bit mono", args("-i in8.wav -WAV out"), "out.wav", 11025, 1, 2.0, 0.5},
        {"WAV converted up to 32 kHz", args("-i mono22.wav -WAV -sr 32.0 out"), "out.wav", 32000, 1,
         2.0, 0.5},
        {"WAV converted down to 44.1 kHz", args("-i in48.wav -WAV -sr 44.1 out"), "out.wav", 44100,
         2, 2.0, 0.5},
        {"WMA", args("-i in.wav -WMA -b 64 out"), "out.wma", 44100, 2, 2.0, 0.5},
        {"boost clips at full scale", args("-i in.wav -bs2 -WAV loud"), "loud.wav", 44100, 2, 2.0,
         1.0},
        {"whole line in one argument", QStringList{R"(-t 1 -i in.wav  "my  file")"}, "my  file.mp3",
         44100, 2, 1.0, 0.5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Finished run = runTrelcap(row.args, dir_.path());
        ASSERT_EQ(run.status, QProcess::NormalExit);
        ASSERT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        EXPECT_TRUE(run.out.contains("wrote " + row.file)) << run.out.toStdString();
        const auto audio = decoded(path(row.file));
        ASSERT_TRUE(audio.has_value()) << row.file.toStdString();
        EXPECT_EQ(audio->sampleRate, row.rate);
        EXPECT_EQ(audio->channels, row.channels);
        // WMA pads its last frame (2048 samples at most); an MP3 frame too small for LAME's
        // info tag (32 kbps at 32 kHz) loses the gapless length, adding up to ~60 ms.
        const double tolerance = row.file.endsWith(".wav")   ? 0.001
                                 : row.file.endsWith(".wma") ? 0.1
                                                             : 0.06;
        EXPECT_NEAR(audio->seconds, row.seconds, tolerance);
        EXPECT_NEAR(audio->peak, row.peak, 0.1);
        QStringList expected{"in.wav", "in48.wav", "in8.wav", "mono22.wav", row.file};
        expected.sort();
        EXPECT_EQ(files(), expected);  // no temporary left behind
        QFile::remove(path(row.file));
    }
}

TEST_F(TrelcapProgram, SilenceEndsTheRecording) {
    writeToneWav(path("pause.wav"), {{1, 0.5}, {6, 0.002}, {1, 0.5}});
    const Finished run = runTrelcap(args("-i pause.wav -WAV -sl 10 -ms 2 out"), dir_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("silence for 2 s")) << run.out.toStdString();
    const auto audio = decoded(path("out.wav"));
    ASSERT_TRUE(audio.has_value());
    EXPECT_NEAR(audio->seconds, 3.0, 0.15);
}

TEST_F(TrelcapProgram, RefusesWithOneLineAndNoFile) {
    QFile notes(path("notes.txt"));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a sound\n");
    notes.close();
    const struct {
        const char* name;
        QStringList args;
        int exitCode;
        const char* says;
    } rows[] = {
        {"bad switch", args("-i in.wav -q out"), 2, "unknown switch -q"},
        {"bad value", args("-i in.wav -f 0 out"), 2, "-f"},
        {"missing input", args("-i gone.wav out"), 1, "cannot read input file"},
        {"input not sound", args("-i notes.txt out"), 1, "cannot read input file"},
        {"folder is a file", args("-i in.wav notes.txt/out"), 1,
         "cannot write \"notes.txt/out.mp3\""},
        {"no such folder", args("-i in.wav none/out"), 1, "cannot write"},
        {"output is a folder", args("-i in.wav -WAV ."), 1, "cannot write"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Finished run = runTrelcap(row.args, dir_.path());
        EXPECT_EQ(run.status, QProcess::NormalExit);
        EXPECT_EQ(run.exitCode, row.exitCode);
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
        EXPECT_TRUE(run.err.startsWith("trelcap: error: ")) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(row.says)) << run.err.toStdString();
        EXPECT_EQ(files(), (QStringList{"in.wav", "notes.txt"}));
    }
}

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
    EXPECT_EQ(files(), (QStringList{"client.conf", "in.wav"}));
}

// Ctrl+C during a recording that would take 10 s keeps what was recorded so far.
TEST_F(TrelcapProgram, CtrlCLeavesAShorterPlayableFile) {
    writeToneWav(path("long.wav"), {{10, 0.5}});
    for (const auto& [format, file] : {std::pair("-LAME", "rec.mp3"), {"-WAV", "rec.wav"}}) {
        SCOPED_TRACE(format);
        QProcess process;
        QByteArray out;
        ASSERT_TRUE(testing::startUntil(process, trelcapPath(),
                                        {"-i", "long.wav", "-realtime", "-t", "10", format, "rec"},
                                        dir_.path(), "1.0 s", out))
            << out.toStdString();
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), SIGINT), 0);
        ASSERT_TRUE(process.waitForFinished(20000));
        out += process.readAllStandardOutput();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        EXPECT_TRUE(out.contains("stopped by Ctrl+C")) << out.toStdString();

        const auto audio = decoded(path(file));
        ASSERT_TRUE(audio.has_value());
        EXPECT_GE(audio->seconds, 1.0);
        EXPECT_LT(audio->seconds, 8.0);
        EXPECT_EQ(audio->sampleRate, 44100);
        EXPECT_EQ(files(), (QStringList{"in.wav", "long.wav", file}));
        QFile::remove(path(file));
    }
}

}  // namespace
}  // namespace orvane::recorder
