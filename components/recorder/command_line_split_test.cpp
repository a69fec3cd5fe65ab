#include "command_line_split.h"

#include <gtest/gtest.h>

namespace orvane::recorder {
namespace {

TEST(SplitCommandLine, ArgumentsAsTheRecorderReadsThem) {
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
        {"three backslashes and a quote", R"(a\\\"b)", Args{R"(a\"b)"}},
        {"tabs, line ends and trailing blanks", "trelcap\t-t\r\n5   ", Args{"trelcap", "-t", "5"}},
        {"everything at once", R"(a\b "c d" "" e\"f "g\\" h)",
         Args{R"(a\b)", "c d", "", R"(e"f)", R"(g\)", "h"}},
        {"nothing", "   ", Args{}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(splitCommandLine(row.line), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace orvane::recorder
