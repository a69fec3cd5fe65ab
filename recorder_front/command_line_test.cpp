#include "command_line.h"

#include <gtest/gtest.h>

namespace trelcapg {
namespace {

RecorderSettings With(void (*change)(RecorderSettings&)) {
    RecorderSettings s;
    s.filePath = "C:/rec/out.mp3";
    change(s);
    return s;
}

TEST(BuildCommandLineTest, WholeLines) {
    struct Row {
        const char* name;
        RecorderSettings settings;
        const char* expected;
    };
    const Row rows[] = {
        {"defaults", With([](RecorderSettings&) {}),
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"everything on", With([](RecorderSettings& s) {
             s.recTime = 30;
             s.outputRate = 9;
             s.boost = 2;
             s.rateConversion = 2;
             s.fileFormat = kLame;
             s.mp3Vbr = 1;
             s.vbrLevel = 4;
             s.silenceDetection = 1;
             s.silenceLevel = 10;
             s.silencePeriod = 3;
         }),
         "trelcap -t 30 -b 320 -f 12 -bs2 -sr 44.1 -LAME -v 4 -sl 10 -ms 3  \"C:/rec/out.mp3\""},
        {"defaults, empty path", RecorderSettings{}, "trelcap -t 60 -b 128 -f 12  \"\""},
        {"boost 1, conversion 32.0", With([](RecorderSettings& s) {
             s.boost = 1;
             s.rateConversion = 1;
         }),
         "trelcap -t 60 -b 128 -f 12 -bs1 -sr 32.0  \"C:/rec/out.mp3\""},
        {"GOGO with VBR", With([](RecorderSettings& s) { s.mp3Vbr = 1; }),
         "trelcap -t 60 -b 128 -f 12 -v 6  \"C:/rec/out.mp3\""},
        {"LAME without VBR names no encoder",
         With([](RecorderSettings& s) { s.fileFormat = kLame; }),
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"WMA ignores VBR", With([](RecorderSettings& s) {
             s.fileFormat = kWma;
             s.mp3Vbr = 1;
         }),
         "trelcap -t 60 -b 128 -f 12 -WMA  \"C:/rec/out.mp3\""},
        {"WAV ignores VBR", With([](RecorderSettings& s) {
             s.fileFormat = kWav;
             s.mp3Vbr = 1;
             s.recParam = 1;
             s.outputRate = 0;
         }),
         "trelcap -t 60 -b 32 -f 1 -WAV  \"C:/rec/out.mp3\""},
        {"silence detection off keeps its values out",
         With([](RecorderSettings& s) { s.silenceLevel = 50; }),
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"options as typed, one blank before the path",
         With([](RecorderSettings& s) { s.options = "-x  -y"; }),
         "trelcap -t 60 -b 128 -f 12 -x  -y \"C:/rec/out.mp3\""},
        {"unknown format adds nothing", With([](RecorderSettings& s) {
             s.fileFormat = 7;
             s.mp3Vbr = 1;
         }),
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
        {"indexes past their tables", With([](RecorderSettings& s) {
             s.outputRate = 42;
             s.rateConversion = 9;
         }),
         "trelcap -t 60 -b 128 -f 12  \"C:/rec/out.mp3\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(BuildCommandLine(row.settings), row.expected) << row.name;
    }
}

TEST(BuildCommandLineTest, LongestRecordFitsTheLineLimit) {
    RecorderSettings s = With([](RecorderSettings& r) {
        r.boost = 2;
        r.rateConversion = 2;
        r.fileFormat = kLame;
        r.mp3Vbr = 1;
        r.silenceDetection = 1;
        r.recTime = 604799;
    });
    s.filePath = std::string(260, 'p');
    s.options = std::string(511, 'o');
    EXPECT_LE(BuildCommandLine(s).size(), 1023u);
}

TEST(SplitCommandLineTest, ArgumentsAsTheRecorderReadsThem) {
    using Args = std::vector<std::string>;
    struct Row {
        const char* name;
        const char* line;
        Args expected;
    };
    const Row rows[] = {
        {"empty path", "trelcap -t 60 -b 128 -f 12  \"\"",
         Args{"trelcap", "-t", "60", "-b", "128", "-f", "12", ""}},
        {"path with blanks", "trelcap -t 1 \"/tmp/my voice.mp3\"",
         Args{"trelcap", "-t", "1", "/tmp/my voice.mp3"}},
        {"quotes inside an option", "trelcap -o=\"a b\"c x", Args{"trelcap", "-o=a bc", "x"}},
        {"backslashes stand before other characters", "trelcap \"C:\\rec\\out.mp3\"",
         Args{"trelcap", "C:\\rec\\out.mp3"}},
        {"escaped quote", "trelcap a\\\"b", Args{"trelcap", "a\"b"}},
        {"backslashes before a closing quote", "trelcap \"dir\\\\\" next",
         Args{"trelcap", "dir\\", "next"}},
        {"tabs and trailing blanks", "trelcap\t-t\t5   ", Args{"trelcap", "-t", "5"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(SplitCommandLine(row.line), row.expected) << row.name;
    }
}

TEST(CheckNumberTest, ReadsLikeStrtolWithBaseZero) {
    struct Row {
        const char* text;
        std::optional<int> expected;
    };
    const Row rows[] = {
        {"60", 60},
        {"0x3C", 60},
        {"0X3c", 60},
        {"010", 8},
        {"  42", 42},
        {"+7", 7},
        {"12abc", 12},
        {"604799", 604799},
        {"0", std::nullopt},
        {"-5", std::nullopt},
        {"604800", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"099", std::nullopt},  // octal: reading stops at the 9
        {"5\n9", 5},            // the first line only
        {"00000000060", 6},     // the first ten characters only
        {"99999999999999999999", std::nullopt},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CheckNumber(row.text, 1, 604799), row.expected) << '"' << row.text << '"';
    }
    EXPECT_EQ(CheckNumber("29", 1, 29), 29);
    EXPECT_EQ(CheckNumber("30", 1, 29), std::nullopt);
}

}  // namespace
}  // namespace trelcapg
