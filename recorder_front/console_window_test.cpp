#include "console_window.h"

#include <gtest/gtest.h>

#include "recorder_console.h"

namespace trelcapg {
namespace {

TEST(ConsoleWindowTest, ViewFollowsTheScreenThroughRedrawsAndDroppedLines) {
    RecorderConsole console;
    ConsoleWindow window(console, QStringLiteral("Output - TrelcapG"), 4);
    for (const char* chunk : {"one\r\n", "two\r\n", "\r0 sec", "\r1 sec", "\r2 sec\r\ndone\r\n",
                              "five\r\nsix\r\n", "\x1b[1mbold\x1b[0m", "\rB\x1b[K"}) {
        window.showOutput(QByteArray(chunk));
        EXPECT_EQ(window.view()->toPlainText(), window.screenText()) << chunk;
    }
    EXPECT_EQ(window.screenText(), QStringLiteral("done\nfive\nsix\nB"));
    EXPECT_EQ(window.view()->textCursor().positionInBlock(), 1);
}

}  // namespace
}  // namespace trelcapg
