// The front end's command lines, split as the front end starts the recorder (and as one
// whole string), read back by trelcap's parser.
#include "command_line.h"
#include "recorder_options.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

struct FrontEndRow {
    const char* name;
    void (*change)(trelcapg::RecorderSettings&);
    int kbps;
    int boost;
    std::optional<double> khz;
    std::optional<int> vbr;
    OutputFormat format;
    std::optional<SilenceRule> silence;
    std::optional<std::string> input;  // from the typed options
};

class FrontEndCommandLine : public ::testing::TestWithParam<FrontEndRow> {
  protected:
    static trelcapg::RecorderSettings settings() {
        trelcapg::RecorderSettings s;
        s.filePath = "/home/user/my recordings/take 1";
        GetParam().change(s);
        return s;
    }
    static void check(const Result<RecorderOptions>& options) {
        const auto& row = GetParam();
        ASSERT_TRUE(options.ok()) << options.error().message;
        EXPECT_EQ(options->seconds, settings().recTime);
        EXPECT_EQ(options->captureFormat, settings().recParam);
        EXPECT_EQ(options->bitrateKbps, row.kbps);
        EXPECT_EQ(options->boost, row.boost);
        EXPECT_EQ(options->targetKhz, row.khz);
        EXPECT_EQ(options->vbrLevel, row.vbr);
        EXPECT_EQ(options->format, row.format);
        EXPECT_EQ(options->silence, row.silence);
        EXPECT_EQ(options->inputFile, row.input);
        EXPECT_EQ(options->outputPath, settings().filePath);
    }
};

TEST_P(FrontEndCommandLine, ArrivesSplitAsTheFrontEndStartsIt) {
    auto argv = trelcapg::SplitCommandLine(trelcapg::BuildCommandLine(settings()));
    ASSERT_FALSE(argv.empty());
    argv.erase(argv.begin());  // argv[0], the program
    check(parseArguments(normalizeArguments(argv)));
}

TEST_P(FrontEndCommandLine, ArrivesAsOneString) {
    check(parseArguments(normalizeArguments({trelcapg::BuildCommandLine(settings())})));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FrontEndCommandLine,
    ::testing::Values(FrontEndRow{"Defaults", [](trelcapg::RecorderSettings&) {}, 128, 0,
                                  std::nullopt, std::nullopt, OutputFormat::Mp3, std::nullopt,
                                  std::nullopt},
                      FrontEndRow{"EverythingOn",
                                  [](trelcapg::RecorderSettings& s) {
                                      s.recTime = 30;
                                      s.outputRate = 9;
                                      s.boost = 2;
                                      s.rateConversion = 2;
                                      s.fileFormat = trelcapg::kLame;
                                      s.mp3Vbr = 1;
                                      s.vbrLevel = 4;
                                      s.silenceDetection = 1;
                                      s.silenceLevel = 10;
                                      s.silencePeriod = 3;
                                  },
                                  320, 2, 44.1, 4, OutputFormat::Mp3, SilenceRule{10, 3},
                                  std::nullopt},
                      FrontEndRow{"GogoVbrLowRate",
                                  [](trelcapg::RecorderSettings& s) {
                                      s.recParam = 1;
                                      s.outputRate = 0;
                                      s.boost = 1;
                                      s.rateConversion = 1;
                                      s.mp3Vbr = 1;
                                      s.vbrLevel = 0;
                                  },
                                  32, 1, 32.0, 0, OutputFormat::Mp3, std::nullopt, std::nullopt},
                      FrontEndRow{"WmaIgnoresVbr",
                                  [](trelcapg::RecorderSettings& s) {
                                      s.fileFormat = trelcapg::kWma;
                                      s.mp3Vbr = 1;
                                      s.outputRate = 2;
                                  },
                                  64, 0, std::nullopt, std::nullopt, OutputFormat::Wma,
                                  std::nullopt, std::nullopt},
                      FrontEndRow{"WavWithTypedOptions",
                                  [](trelcapg::RecorderSettings& s) {
                                      s.fileFormat = trelcapg::kWav;
                                      s.recParam = 16;
                                      s.options = R"(-i "/tmp/a b.wav")";
                                  },
                                  128, 0, std::nullopt, std::nullopt, OutputFormat::Wav,
                                  std::nullopt, "/tmp/a b.wav"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvane::recorder
