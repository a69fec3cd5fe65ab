#include "terminal_screen.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace trelcapg {
namespace {

QString Screen(const std::vector<const char*>& chunks) {
    TerminalScreen screen;
    for (const char* chunk : chunks) {
        screen.feed(QByteArray(chunk));
    }
    return screen.text();
}

TEST(TerminalScreenTest, ShowsWhatATerminalWould) {
    // Each row: the chunks the recorder writes, and the screen they leave.
    const std::tuple<const char*, std::vector<const char*>, const char*> rows[] = {
        {"lines", {"one\r\ntwo\r\n"}, "one\ntwo\n"},
        {"progress line redraws itself", {"\r1 sec", "\r2 sec", "\r10 sec\r\n"}, "10 sec\n"},
        {"carriage return overwrites only what it writes", {"abcdef\rXY"}, "XYcdef"},
        {"erase to end of line", {"abcdef\rXY\x1b[K"}, "XY"},
        {"erase whole line", {"abcdef\x1b[2K\rZ"}, "Z"},
        {"colours dropped", {"\x1b[1;31mred\x1b[0m plain"}, "red plain"},
        {"title sequence dropped", {"\x1b]0;title\x07text"}, "text"},
        {"backspace", {"abc\b\bX"}, "aXc"},
        {"tab stops", {"a\tb"}, "a       b"},
        {"escape split across chunks", {"ab\x1b[", "1;3", "2mc"}, "abc"},
        {"character split across chunks", {"\xe9\x8c", "\xb2\xe9\x9f\xb3"}, "録音"},
        {"echoed Ctrl+C", {"^C\r\n"}, "^C\n"},
    };
    for (const auto& [name, chunks, expected] : rows) {
        EXPECT_EQ(Screen(chunks), QString::fromUtf8(expected)) << name;
    }
}

TEST(TerminalScreenTest, CountsBellsWithoutShowingThem) {
    TerminalScreen screen;
    screen.feed("a\ab\a");
    EXPECT_EQ(screen.text(), QStringLiteral("ab"));
    EXPECT_EQ(screen.takeBells(), 2);
    EXPECT_EQ(screen.takeBells(), 0);
}

}  // namespace
}  // namespace trelcapg
