// The front end's command lines, split as the front end starts the recorder (and as one
// whole string), read back by trelcap's parser.
#include "command_line.h"
#include "command_line_split.h"
#include "recorder_options.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

using trelcapg::RecorderSettings;

struct FrontEndRow {
    const char* name;
    RecorderSettings settings;  // the output is always kPath
    int kbps;
    int boost;
    std::optional<double> khz;
    std::optional<int> vbr;
    OutputFormat format;
    std::optional<SilenceRule> silence;
    std::optional<std::string> input;  // from the typed options
};

constexpr const char* kPath = "/home/user/my recordings/take 1";

class FrontEndCommandLine : public ::testing::TestWithParam<FrontEndRow> {
  protected:
    static std::string line() { return trelcapg::BuildCommandLine(GetParam().settings); }
    static void check(const Expected<RecorderOptions>& options) {
        const auto& row = GetParam();
        ASSERT_TRUE(options.ok()) << options.failure().reason.toStdString();
        EXPECT_EQ(options->seconds, row.settings.recTime);
        EXPECT_EQ(options->captureFormat, row.settings.recParam);
        EXPECT_EQ(options->bitrateKbps, row.kbps);
        EXPECT_EQ(options->boost, row.boost);
        EXPECT_EQ(options->targetKhz, row.khz);
        EXPECT_EQ(options->vbrLevel, row.vbr);
        EXPECT_EQ(options->format, row.format);
        EXPECT_EQ(options->silence, row.silence);
        EXPECT_EQ(options->inputFile, row.input);
        EXPECT_EQ(options->outputPath, kPath);
    }
};

TEST_P(FrontEndCommandLine, ArrivesSplitAsTheFrontEndStartsIt) {
    auto argv = splitCommandLine(line());
    ASSERT_FALSE(argv.empty());
    argv.erase(argv.begin());  // argv[0], the program
    check(parseArguments(normalizeArguments(argv)));
}

TEST_P(FrontEndCommandLine, ArrivesAsOneString) {
    check(parseArguments(normalizeArguments({line()})));
}

const RecorderSettings kEverythingOn{.filePath = kPath,
                                     .boost = 2,
                                     .recTime = 30,
                                     .outputRate = 9,
                                     .rateConversion = 2,
                                     .fileFormat = trelcapg::kLame,
                                     .silenceDetection = 1,
                                     .silenceLevel = 10,
                                     .silencePeriod = 3,
                                     .mp3Vbr = 1,
                                     .vbrLevel = 4};
const RecorderSettings kGogoVbrLowRate{.filePath = kPath,
                                       .recParam = 1,
                                       .boost = 1,
                                       .outputRate = 0,
                                       .rateConversion = 1,
                                       .mp3Vbr = 1,
                                       .vbrLevel = 0};
const RecorderSettings kWma{
    .filePath = kPath, .outputRate = 2, .fileFormat = trelcapg::kWma, .mp3Vbr = 1};
const RecorderSettings kWavWithInput{.filePath = kPath,
                                     .recParam = 16,
                                     .fileFormat = trelcapg::kWav,
                                     .options = R"(-i "/tmp/a b.wav")"};

const FrontEndRow kRows[] = {
    {"Defaults", {.filePath = kPath}, 128, 0, {}, {}, OutputFormat::Mp3, {}, {}},
    {"EverythingOn", kEverythingOn, 320, 2, 44.1, 4, OutputFormat::Mp3, SilenceRule{10, 3}, {}},
    {"GogoVbrLowRate", kGogoVbrLowRate, 32, 1, 32.0, 0, OutputFormat::Mp3, {}, {}},
    {"WmaIgnoresVbr", kWma, 64, 0, {}, {}, OutputFormat::Wma, {}, {}},
    {"WavWithTypedOptions", kWavWithInput, 128, 0, {}, {}, OutputFormat::Wav, {}, "/tmp/a b.wav"},
};

INSTANTIATE_TEST_SUITE_P(Rows, FrontEndCommandLine, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::recorder
