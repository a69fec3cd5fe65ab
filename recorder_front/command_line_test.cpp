#include "command_line.h"

#include <gtest/gtest.h>

#include <tuple>

#include "front_test_support.h"

namespace trelcapg {
namespace {

constexpr const char* kOut = "C:/rec/out.mp3";

TEST(BuildCommandLineTest, WholeLines) {
    const std::tuple<const char*, RecorderSettings, const char*> rows[] = {
        {"defaults", {.filePath = kOut}, "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"everything on, options as typed", testing::UnusualSettings(),
         "trelcap -t 604799 -b 320 -f 7 -bs2 -sr 44.1 -LAME -v 0 -sl 99 -ms 29 -x \"quoted\" ＝ "
         "wide \"/home/user/録音/voice note.mp3\""},
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
        {"indexes past their tables add nothing",
         {.filePath = kOut, .outputRate = 42, .rateConversion = 9, .fileFormat = 7, .mp3Vbr = 1},
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
    };
    for (const auto& [name, settings, expected] : rows) {
        EXPECT_EQ(BuildCommandLine(settings), expected) << name;
    }
}

TEST(CheckNumberTest, ReadsLikeStrtolWithBaseZero) {
    // "099" is octal, read up to the 9; only the first line and the first ten characters count.
    const std::pair<const char*, std::optional<int>> rows[] = {
        {"60", 60},    {"0x3C", 60},       {"0X3c", 60},
        {"010", 8},    {"  42", 42},       {"+7", 7},
        {"12abc", 12}, {"604799", 604799}, {"0", {}},
        {"-5", {}},    {"604800", {}},     {"abc", {}},
        {"", {}},      {"0x", {}},         {"099", {}},
        {"5\n9", 5},   {"00000000060", 6}, {"99999999999999999999", {}}};
    for (const auto& [text, expected] : rows) {
        EXPECT_EQ(CheckNumber(text, 1, 604799), expected) << '"' << text << '"';
    }
    EXPECT_EQ(CheckNumber("29", 1, 29), 29);
    EXPECT_EQ(CheckNumber("30", 1, 29), std::nullopt);
}

}  // namespace
}  // namespace trelcapg
