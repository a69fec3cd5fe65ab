// The text a console window shows: the byte stream a program writes to its terminal,
// interpreted the way a plain terminal does for line-oriented programs.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

namespace trelcapg {

// Understands UTF-8 text, CR (back to the line's start, so a progress line can redraw
// itself), LF, backspace, tab stops every 8 columns, BEL and the "erase in line" escape
// (ESC [ K, 1 K, 2 K). Other escape sequences (colours, titles, cursor moves) are
// dropped. The cursor always stands on the last line. At most maxLines lines are kept;
// older lines fall off the top.
class TerminalScreen {
  public:
    explicit TerminalScreen(int maxLines = 5000);

    void feed(const QByteArray& bytes);

    const QStringList& lines() const { return lines_; }
    QString text() const { return lines_.join(u'\n'); }
    int cursorColumn() const { return column_; }

    // What changed since the last call to takeChanges: how many lines fell off the top,
    // and the first line (counted after that drop) whose text changed or is new.
    struct Changes {
        int droppedLines = 0;
        int firstChangedLine = 0;
    };
    Changes takeChanges();

    // BEL characters seen since the last call.
    int takeBells();

  private:
    enum class EscapeState { None, Escape, Csi, Osc, OscEscape };

    void put(QChar c);
    void newLine();
    void eraseInLine(int mode);
    void markChanged(int line);
    void handleControlOrText(QChar c);

    int maxLines_;
    QStringList lines_{QString()};
    int column_ = 0;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    EscapeState escape_ = EscapeState::None;
    QString csiParameters_;
    int dropped_ = 0;
    int firstChanged_ = 0;
    int bells_ = 0;
};

}  // namespace trelcapg
