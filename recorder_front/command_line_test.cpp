#include "command_line.h"

#include <gtest/gtest.h>

namespace trelcapg {
namespace {

constexpr const char* kOut = "C:/rec/out.mp3";

TEST(BuildCommandLineTest, WholeLines) {
    struct Row {
        const char* name;
        RecorderSettings settings;
        const char* expected;
    };
    const Row rows[] = {
        {"defaults", {.filePath = kOut}, "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"everything on",
         {.filePath = kOut,
          .boost = 2,
          .recTime = 30,
          .outputRate = 9,
          .rateConversion = 2,
          .fileFormat = kLame,
          .silenceDetection = 1,
          .silenceLevel = 10,
          .silencePeriod = 3,
          .mp3Vbr = 1,
          .vbrLevel = 4},
         "trelcap -t 30 -b 320 -f 12 -bs2 -sr 44.1 -LAME -v 4 -sl 10 -ms 3  \"C:/rec/out.mp3\""},
        {"GOGO with VBR, boost 1, conversion 32.0",
         {.filePath = kOut, .boost = 1, .rateConversion = 1, .mp3Vbr = 1},
         "trelcap -t 60 -b 128 -f 12 -bs1 -sr 32.0 -v 6  \"C:/rec/out.mp3\""},
        {"LAME without VBR names no encoder",
         {.filePath = kOut, .fileFormat = kLame},
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"WMA ignores VBR",
         {.filePath = kOut, .fileFormat = kWma, .mp3Vbr = 1},
         "trelcap -t 60 -b 128 -f 12 -WMA  \"C:/rec/out.mp3\""},
        {"WAV ignores VBR",
         {.filePath = kOut, .recParam = 1, .outputRate = 0, .fileFormat = kWav, .mp3Vbr = 1},
         "trelcap -t 60 -b 32 -f 1 -WAV  \"C:/rec/out.mp3\""},
        {"silence detection off keeps its values out",
         {.filePath = kOut, .silenceLevel = 50},
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"options as typed, one blank before the path",
         {.filePath = kOut, .options = "-x  -y"},
         "trelcap -t 60 -b 128 -f 12 -x  -y \"C:/rec/out.mp3\""},
        {"indexes past their tables add nothing",
         {.filePath = kOut, .outputRate = 42, .rateConversion = 9, .fileFormat = 7, .mp3Vbr = 1},
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildCommandLine(row.settings), row.expected) << row.name;
    }
}

TEST(CheckNumberTest, ReadsLikeStrtolWithBaseZero) {
    struct Row {
        const char* text;
        std::optional<int> expected;
    };
    // "099" is octal, read up to the 9; only the first line and the first ten characters count.
    const Row rows[] = {{"60", 60},    {"0x3C", 60},       {"0X3c", 60},
                        {"010", 8},    {"  42", 42},       {"+7", 7},
                        {"12abc", 12}, {"604799", 604799}, {"0", {}},
                        {"-5", {}},    {"604800", {}},     {"abc", {}},
                        {"", {}},      {"0x", {}},         {"099", {}},
                        {"5\n9", 5},   {"00000000060", 6}, {"99999999999999999999", {}}};
    for (const Row& row : rows) {
        EXPECT_EQ(CheckNumber(row.text, 1, 604799), row.expected) << '"' << row.text << '"';
    }
    EXPECT_EQ(CheckNumber("29", 1, 29), 29);
    EXPECT_EQ(CheckNumber("30", 1, 29), std::nullopt);
}

}  // namespace
}  // namespace trelcapg
