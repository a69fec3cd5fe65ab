#include "help_text.h"

#include <gtest/gtest.h>

using orvane::mailer::parseHelpText;

// Text before the first marked line is entry 0; each marked line starts the
// next entry. A closing line advances too, and the line taken in its place
// ("x") is kept unless it closes as well, in which case it and the next go.
TEST(HelpText, MarkedLinesStartEntriesClosingLinesDropTheLineAfterAndExtraMarksAreHarmless) {
    auto help = parseHelpText({"前置き", "続き", "<全体>", "一", "二", "<一覧>", "三"});
    EXPECT_EQ(help[0], "前置き続き");
    EXPECT_EQ(help[1], "一二");
    EXPECT_EQ(help[2], "三");
    EXPECT_EQ(help[3], "");

    help = parseHelpText({"<a>", "一", "</a>", "x", "<b>", "</b>", "捨てる", "残る"});
    EXPECT_EQ(help[1], "一");
    EXPECT_EQ(help[2], "x");
    EXPECT_EQ(help[3], "残る");

    EXPECT_EQ(parseHelpText({"a", "<"})[0], "a");
    QStringList lines;
    for (int i = 0; i < 15; ++i) {
        lines << "<" << QString::number(i);
    }
    EXPECT_EQ(parseHelpText(lines)[10], "9");
}
