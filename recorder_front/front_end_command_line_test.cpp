// The front end's command lines, split as the front end starts the recorder, read back by
// trelcap's parser. (Each switch alone is the parser's own test.)
#include "command_line.h"
#include "command_line_split.h"
#include "recorder_options.h"
#include "test_printers.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

using trelcapg::RecorderSettings;

TEST(FrontEndCommandLine, ReadsBackAsTheRecordSays) {
    const std::string path = "/home/user/my recordings/take 1";
    struct Row {
        const char* name;
        RecorderSettings settings;
        RecorderOptions expected;
    };
    const Row rows[] = {
        {"defaults", {.filePath = path}, {.seconds = 60, .outputPath = path}},
        {"everything on",
         {.filePath = path,
          .boost = 2,
          .recTime = 30,
          .outputRate = 9,
          .rateConversion = 2,
          .fileFormat = trelcapg::kLame,
          .silenceDetection = 1,
          .silenceLevel = 10,
          .silencePeriod = 3,
          .mp3Vbr = 1,
          .vbrLevel = 4},
         {.seconds = 30,
          .bitrateKbps = 320,
          .boost = 2,
          .targetKhz = 44.1,
          .vbrLevel = 4,
          .silence = SilenceRule{10, 3},
          .outputPath = path}},
        {"WAV with typed options",
         {.filePath = path,
          .recParam = 16,
          .fileFormat = trelcapg::kWav,
          .options = R"(-i "/tmp/a b.wav")"},
         {.seconds = 60,
          .captureFormat = 16,
          .format = OutputFormat::Wav,
          .inputFile = "/tmp/a b.wav",
          .outputPath = path}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto argv = splitCommandLine(trelcapg::BuildCommandLine(row.settings));
        ASSERT_FALSE(argv.empty());
        argv.erase(argv.begin());  // the program
        const auto options = parseArguments(normalizeArguments(argv));
        ASSERT_TRUE(options.ok()) << options.failure().reason.toStdString();
        EXPECT_EQ(*options, row.expected);
    }
}

}  // namespace
}  // namespace orvane::recorder
