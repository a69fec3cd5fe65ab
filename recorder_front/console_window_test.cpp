#include "console_window.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include "recorder_console.h"

namespace trelcapg {
namespace {

TEST(ConsoleWindowTest, ViewFollowsTheScreenThroughRedrawsAndDroppedLines) {
    RecorderConsole console;
    ConsoleWindow window(console, QStringLiteral("Output - TrelcapG"), 4);
    const char* chunks[] = {"one\r\n",
                            "two\r\n",
                            "\r0 sec",
                            "\r1 sec",
                            "\r2 sec\r\ndone\r\n",
                            "five\r\nsix\r\n",
                            "\x1b[1mbold\x1b[0m",
                            "\rB\x1b[K"};
    for (const char* chunk : chunks) {
        window.showOutput(QByteArray(chunk));
        EXPECT_EQ(window.view()->toPlainText(), window.screenText()) << chunk;
    }
    EXPECT_EQ(window.screenText(), QStringLiteral("done\nfive\nsix\nB"));
    EXPECT_EQ(window.view()->textCursor().positionInBlock(), 1);
}

TEST(ConsoleWindowTest, KeysBecomeTerminalBytes) {
    struct Row {
        const char* name;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        QByteArray bytes;
    };
    const Row rows[] = {
        {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, QString(), "\x03"},
        {"Ctrl+\\", Qt::Key_Backslash, Qt::ControlModifier, QString(), "\x1c"},
        {"Enter", Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), "\r"},
        {"Backspace", Qt::Key_Backspace, Qt::NoModifier, QString(), "\x7f"},
        {"Up", Qt::Key_Up, Qt::NoModifier, QString(), "\x1b[A"},
        {"letter", Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), "a"},
        {"wide character", 0, Qt::NoModifier, QStringLiteral("録"), "\xe9\x8c\xb2"},
        {"Shift alone", Qt::Key_Shift, Qt::ShiftModifier, QString(), QByteArray()},
    };
    for (const Row& row : rows) {
        const QKeyEvent event(QEvent::KeyPress, row.key, row.modifiers, row.text);
        EXPECT_EQ(ConsoleView::KeyBytes(event), row.bytes) << row.name;
    }
}

}  // namespace
}  // namespace trelcapg
