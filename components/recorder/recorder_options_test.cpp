#include "recorder_options.h"
#include "audio_format.h"
#include "command_line_split.h"
#include "output_format.h"
#include "temporary_files.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

Expected<RecorderOptions> parseLine(const std::string& line) {
    return parseArguments(normalizeArguments(splitCommandLine(line)));
}

struct ParseRow {
    const char* name;
    const char* line;
    int seconds;
    int kbps;
    int capture;
    int boost;
    std::optional<double> khz;
    std::optional<int> vbr;
    OutputFormat format;
    std::optional<SilenceRule> silence;
    const char* output;
};

class ParseArguments : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseArguments, TakesEverySwitch) {
    const ParseRow& row = GetParam();
    const auto options = parseLine(row.line);
    ASSERT_TRUE(options.ok()) << options.failure().reason.toStdString();
    EXPECT_EQ(options->seconds, row.seconds);
    EXPECT_EQ(options->bitrateKbps, row.kbps);
    EXPECT_EQ(options->captureFormat, row.capture);
    EXPECT_EQ(options->boost, row.boost);
    EXPECT_EQ(options->targetKhz, row.khz);
    EXPECT_EQ(options->vbrLevel, row.vbr);
    EXPECT_EQ(options->format, row.format);
    EXPECT_EQ(options->silence, row.silence);
    EXPECT_EQ(options->outputPath, row.output);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseArguments,
    ::testing::Values(
        ParseRow{"MailerFixedForm",
                 R"(trelcap28\trelcap.exe -t 20 -b 32 -f 12 -sr 32.2 "orvane-u-20261206123456")",
                 20, 32, 12, 0, 32.2, std::nullopt, OutputFormat::Mp3, std::nullopt,
                 "orvane-u-20261206123456"},
        ParseRow{"GogoVbr", R"(trelcap -t 5 -b 64 -f 3 -bs1 -v 0  "x")", 5, 64, 3, 1, std::nullopt,
                 0, OutputFormat::Mp3, std::nullopt, "x"},
        ParseRow{"WmaWithUserSwitches", R"(trelcap -t 5 -b 64 -f 16 -sr 32.0 -WMA -wav -wma  "x")",
                 5, 64, 16, 0, 32.0, std::nullopt, OutputFormat::Wma, std::nullopt, "x"},
        ParseRow{"WavLowerCase", R"(-T 9 -B 96 -F 1 -wav -SL 50  out)", 9, 96, 1, 0, std::nullopt,
                 std::nullopt, OutputFormat::Wav, SilenceRule{50, 3}, "out"},
        ParseRow{"OutputStartingWithDash", R"(-t 1 "-odd name")", 1, 128, 12, 0, std::nullopt,
                 std::nullopt, OutputFormat::Mp3, std::nullopt, "-odd name"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ErrorRow {
    const char* name;
    std::vector<std::string> args;
    const char* mentions;
};

class RefusedArguments : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(RefusedArguments, SaysWhy) {
    const auto options = parseArguments(normalizeArguments(GetParam().args));
    ASSERT_FALSE(options.ok());
    EXPECT_NE(options.failure().reason.toStdString().find(GetParam().mentions), std::string::npos)
        << options.failure().reason.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RefusedArguments,
    ::testing::Values(
        ErrorRow{"EmptyPath", {"-t", "60", "-b", "128", "-f", "12", ""}, "no output file"},
        ErrorRow{"NoPath", {"-t", "60"}, "no output file"},
        ErrorRow{"MissingValue", {"-b", "64", "-t"}, "-t needs a value"},
        ErrorRow{"ZeroSeconds", {"-t", "0", "x"}, "bad value \"0\" for -t"},
        ErrorRow{"WeekOfSeconds", {"-t", "604800", "x"}, "-t"},
        ErrorRow{"NotANumber", {"-b", "12k", "x"}, "bad value \"12k\" for -b"},
        ErrorRow{"FormatPastTable", {"-f", "17", "x"}, "-f"},
        ErrorRow{"BoostThree", {"-bs3", "x"}, "unknown switch -bs3"},
        ErrorRow{"RateText", {"-sr", "fast", "x"}, "-sr"},
        ErrorRow{"UnknownSwitch", {"-x", "x"}, "unknown switch -x"},
        ErrorRow{"TwoPaths", {"a", "b"}, "unexpected argument \"a\""},
        ErrorRow{"RealTimeWithoutInput", {"-realtime", "x"}, "-realtime needs -i"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SplitRow {
    const char* name;
    std::vector<std::string> argv;
    std::vector<std::string> expected;
};

class NormalizeArguments : public ::testing::TestWithParam<SplitRow> {};

TEST_P(NormalizeArguments, GivesOneForm) {
    EXPECT_EQ(normalizeArguments(GetParam().argv), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, NormalizeArguments,
    ::testing::Values(
        SplitRow{"AlreadySplit", {"-t", "5", "my file"}, {"-t", "5", "my file"}},
        SplitRow{"WholeLineInOneArgument",
                 {R"(-t 5 -b 64  "my  file.mp3")"},
                 {"-t", "5", "-b", "64", "my  file.mp3"}},
        SplitRow{"WholeLineWithProgramName", {R"(trelcap -t 5  "")"}, {"-t", "5", ""}},
        SplitRow{
            "SplitAtBlanksKeepingQuotes", {"-t", "5", "\"my", "file\""}, {"-t", "5", "my file"}},
        SplitRow{"QuotedPathAsOneArgument", {"-t", "5", "\"x y\""}, {"-t", "5", "x y"}},
        SplitRow{"BackslashesStay",
                 {R"(trelcap28\trelcap.exe)", "-t", "1", R"(a\b)"},
                 {"-t", "1", R"(a\b)"}},
        SplitRow{"SinglePathWithBlank", {"my file"}, {"my file"}}),
    [](const auto& info) { return std::string(info.param.name); });

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
    const std::string made = temporaryNameTemplate("dir/take 1.mp3");
    EXPECT_EQ(made, "dir/.take 1.mp3.trelcap-XXXXXX");
    EXPECT_TRUE(isTemporaryName(made.substr(4, made.size() - 10) + "q1W2e3"));
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
