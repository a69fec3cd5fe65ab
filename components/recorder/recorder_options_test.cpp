#include "recorder_options.h"
#include "audio_format.h"
#include "command_line_split.h"
#include "output_format.h"
#include "temporary_files.h"
#include "test_printers.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

Expected<RecorderOptions> parseLine(const std::string& line) {
    return parseArguments(normalizeArguments(splitCommandLine(line)));
}

TEST(ParseArguments, TakesEverySwitch) {
    constexpr auto kMp3 = OutputFormat::Mp3;
    struct Row {
        const char* name;
        const char* line;
        // -t, -b, -f, -bs, -sr, -v, format, -sl/-ms, -i, -realtime, -h, output
        RecorderOptions expected;
    };
    const Row rows[] = {
        {"mailer's fixed form",
         R"(trelcap28\trelcap.exe -t 20 -b 32 -f 12 -sr 32.2 "orvane-u-20261206123456")",
         {20, 32, 12, 0, 32.2, {}, kMp3, {}, {}, false, false, "orvane-u-20261206123456"}},
        // The front end's lines, as its own tests build them.
        {"front end, everything on",
         R"(trelcap -t 30 -b 320 -f 12 -bs2 -sr 44.1 -LAME -v 4 -sl 10 -ms 3  "C:/rec/out.mp3")",
         {30, 320, 12, 2, 44.1, 4, kMp3, SilenceRule{10, 3}, {}, false, false, "C:/rec/out.mp3"}},
        {"front end, typed options",
         R"(trelcap -t 60 -b 128 -f 16 -WAV -i "/tmp/a b.wav" "/home/user/my recordings/take 1")",
         {60,
          128,
          16,
          0,
          {},
          {},
          OutputFormat::Wav,
          {},
          "/tmp/a b.wav",
          false,
          false,
          "/home/user/my recordings/take 1"}},
        {"GOGO VBR",
         R"(trelcap -t 5 -b 64 -f 3 -bs1 -v 0  "x")",
         {5, 64, 3, 1, {}, 0, kMp3, {}, {}, false, false, "x"}},
        {"WMA with the user's switches",
         R"(trelcap -t 5 -b 64 -f 16 -sr 32.0 -WMA -wav -wma  "x")",
         {5, 64, 16, 0, 32.0, {}, OutputFormat::Wma, {}, {}, false, false, "x"}},
        {"WAV in lower case",
         R"(-T 9 -B 96 -F 1 -wav -SL 50  out)",
         {9, 96, 1, 0, {}, {}, OutputFormat::Wav, SilenceRule{50, 3}, {}, false, false, "out"}},
        {"output starting with a dash",
         R"(-t 1 "-odd name")",
         {1, 128, 12, 0, {}, {}, kMp3, {}, {}, false, false, "-odd name"}},
        {"file input at a device's pace",
         R"(-i "in put.wav" -realtime x)",
         {{}, 128, 12, 0, {}, {}, kMp3, {}, "in put.wav", true, false, "x"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto options = parseLine(row.line);
        ASSERT_TRUE(options.ok()) << options.failure().reason.toStdString();
        EXPECT_EQ(*options, row.expected);
    }
}

TEST(ParseArguments, RefusesSayingWhy) {
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* mentions;
    } rows[] = {
        {"empty path", {"-t", "60", "-b", "128", "-f", "12", ""}, "no output file"},
        {"no path", {"-t", "60"}, "no output file"},
        {"missing value", {"-b", "64", "-t"}, "-t needs a value"},
        {"zero seconds", {"-t", "0", "x"}, "bad value \"0\" for -t"},
        {"a week of seconds", {"-t", "604800", "x"}, "-t"},
        {"not a number", {"-b", "12k", "x"}, "bad value \"12k\" for -b"},
        {"format past the table", {"-f", "17", "x"}, "-f"},
        {"boost three", {"-bs3", "x"}, "unknown switch -bs3"},
        {"rate as text", {"-sr", "fast", "x"}, "-sr"},
        {"unknown switch", {"-x", "x"}, "unknown switch -x"},
        {"two paths", {"a", "b"}, "unexpected argument \"a\""},
        {"real time without input", {"-realtime", "x"}, "-realtime needs -i"},
    };
    for (const auto& row : rows) {
        const auto options = parseArguments(normalizeArguments(row.args));
        ASSERT_FALSE(options.ok()) << row.name;
        const std::string reason = options.failure().reason.toStdString();
        EXPECT_NE(reason.find(row.mentions), std::string::npos) << row.name << ": " << reason;
    }
}

TEST(NormalizeArguments, GivesOneForm) {
    using Args = std::vector<std::string>;
    const struct {
        const char* name;
        Args argv;
        Args expected;
    } rows[] = {
        {"already split", {"-t", "5", "my file"}, {"-t", "5", "my file"}},
        {"whole line in one argument",
         {R"(-t 5 -b 64  "my  file.mp3")"},
         {"-t", "5", "-b", "64", "my  file.mp3"}},
        {"whole line with the program", {R"(trelcap -t 5  "")"}, {"-t", "5", ""}},
        {"split at blanks, quotes kept", {"-t", "5", "\"my", "file\""}, {"-t", "5", "my file"}},
        {"quoted path as one argument", {"-t", "5", "\"x y\""}, {"-t", "5", "x y"}},
        {"backslashes stay",
         {R"(trelcap28\trelcap.exe)", "-t", "1", R"(a\b)"},
         {"-t", "1", R"(a\b)"}},
        {"single path with a blank", {"my file"}, {"my file"}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(normalizeArguments(row.argv), row.expected) << row.name;
    }
}

TEST(FinalOutputPath, AppendsTheFormatsExtensionUnlessPresent) {
    EXPECT_EQ(finalOutputPath("voice", OutputFormat::Mp3), "voice.mp3");
    EXPECT_EQ(finalOutputPath("orvane-john.doe-20261206", OutputFormat::Mp3),
              "orvane-john.doe-20261206.mp3");
    EXPECT_EQ(finalOutputPath("dir/x.MP3", OutputFormat::Mp3), "dir/x.MP3");
    EXPECT_EQ(finalOutputPath("x.wav", OutputFormat::Mp3), "x.wav.mp3");
    EXPECT_EQ(finalOutputPath("x", OutputFormat::Wav), "x.wav");
    EXPECT_EQ(finalOutputPath("x.wma", OutputFormat::Wma), "x.wma");
}

TEST(NumberedOutputPath, PutsTheNumberBeforeTheExtension) {
    EXPECT_EQ(numberedOutputPath("out.mp3", 2), "out (2).mp3");
    EXPECT_EQ(numberedOutputPath("dir.d/take.1.WAV", 13), "dir.d/take.1 (13).WAV");
    EXPECT_EQ(numberedOutputPath("/a:b/orvane-x-2026.mp3", 3), "/a:b/orvane-x-2026 (3).mp3");
}

// Only names of the exact form are ever removed as left behind; a near miss is another
// program's file.
TEST(TemporaryName, IsRecognisedByItsWholeForm) {
    struct Row {
        const char* name;
        bool ours;
    };
    const Row rows[] = {
        {".out.mp3.trelcap-Ab12Cd", true},   {".x y.WAV.trelcap-000000", true},
        {".a.wma.trelcap-zzzzzz", true},     {"out.mp3.trelcap-Ab12Cd", false},
        {".out.mp3.Ab12Cd", false},          {".out.txt.trelcap-Ab12Cd", false},
        {".mp3.trelcap-Ab12Cd", false},      {".out.mp3.trelcap-Ab12C", false},
        {".out.mp3.trelcap-Ab12Cde", false}, {".out.mp3.trelcap-Ab-2Cd", false},
        {".out.mp3.trelcap-", false},        {"", false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(isTemporaryName(row.name), row.ours) << row.name;
    }
}

TEST(NearestSupportedRate, PicksTheClosestRateOfTheEncoder) {
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Mp3, 32200), 32000);
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Mp3, 44100), 44100);
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Mp3, 11000), 11025);
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Mp3, 96000), 48000);
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Wma, 12000), 11025);
    EXPECT_EQ(nearestSupportedRate(OutputFormat::Wav, 1000), 8000);
}

TEST(CaptureFormat, FollowsTheNumberRule) {
    EXPECT_EQ(captureFormat(1), (AudioFormat{11025, 1, 8}));
    EXPECT_EQ(captureFormat(4), (AudioFormat{11025, 2, 16}));
    EXPECT_EQ(captureFormat(7), (AudioFormat{22050, 1, 16}));
    EXPECT_EQ(captureFormat(12), (AudioFormat{44100, 2, 16}));
    EXPECT_EQ(captureFormat(14), (AudioFormat{48000, 2, 8}));
    EXPECT_EQ(captureFormat(0), std::nullopt);
    EXPECT_EQ(captureFormat(17), std::nullopt);
}

}  // namespace
}  // namespace orvane::recorder
