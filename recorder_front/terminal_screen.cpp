#include "terminal_screen.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace trelcapg {

TerminalScreen::TerminalScreen(int maxLines) : maxLines_(std::max(1, maxLines)) {}

void TerminalScreen::feed(const QByteArray& bytes) {
    const QString text = decoder_.decode(bytes);
    for (const QChar c : text) {
        switch (escape_) {
            case EscapeState::None:
                handleControlOrText(c);
                break;
            case EscapeState::Escape:
                if (c == u'[') {
                    escape_ = EscapeState::Csi;
                    csiParameters_.clear();
                } else if (c == u']') {
                    escape_ = EscapeState::Osc;
                } else {
                    escape_ = EscapeState::None;  // a two-character sequence: dropped
                }
                break;
            case EscapeState::Csi:
                if (c.unicode() >= 0x40 && c.unicode() <= 0x7E) {
                    if (c == u'K') {
                        eraseInLine(csiParameters_.isEmpty() ? 0 : csiParameters_.toInt());
                    }
                    escape_ = EscapeState::None;
                } else {
                    csiParameters_ += c;
                }
                break;
            case EscapeState::Osc:
                if (c == u'\a') {
                    escape_ = EscapeState::None;
                } else if (c == u'\x1b') {
                    escape_ = EscapeState::OscEscape;
                }
                break;
            case EscapeState::OscEscape:
                escape_ = c == u'\\' ? EscapeState::None : EscapeState::Osc;
                break;
        }
    }
}

void TerminalScreen::handleControlOrText(QChar c) {
    switch (c.unicode()) {
        case u'\x1b':
            escape_ = EscapeState::Escape;
            return;
        case u'\r':
            column_ = 0;
            return;
        case u'\n':
            newLine();
            return;
        case u'\b':
            column_ = std::max(0, column_ - 1);
            return;
        case u'\t':
            do {
                put(u' ');
            } while (column_ % 8 != 0);
            return;
        case u'\a':
            ++bells_;
            return;
        default:
            break;
    }
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
        return;  // other control characters show nothing
    }
    put(c);
}

void TerminalScreen::put(QChar c) {
    QString& line = lines_.last();
    if (line.size() < column_) {
        line.append(QString(column_ - line.size(), u' '));
    }
    if (column_ < line.size()) {
        line[column_] = c;
    } else {
        line.append(c);
    }
    ++column_;
    markChanged(lines_.size() - 1);
}

void TerminalScreen::newLine() {
    lines_.append(QString());
    column_ = 0;
    markChanged(lines_.size() - 1);
    if (lines_.size() > maxLines_) {
        lines_.removeFirst();
        ++dropped_;
        firstChanged_ = std::max(0, firstChanged_ - 1);
    }
}

void TerminalScreen::eraseInLine(int mode) {
    QString& line = lines_.last();
    switch (mode) {
        case 0:
            if (column_ < line.size()) {
                line.truncate(column_);
            }
            break;
        case 1:
            for (int i = 0; i <= column_ && i < line.size(); ++i) {
                line[i] = u' ';
            }
            break;
        case 2:
            line.clear();
            break;
        default:
            return;
    }
    markChanged(lines_.size() - 1);
}

void TerminalScreen::markChanged(int line) {
    firstChanged_ = std::min(firstChanged_, line);
}

TerminalScreen::Changes TerminalScreen::takeChanges() {
    const Changes changes{dropped_, firstChanged_};
    dropped_ = 0;
    firstChanged_ = INT_MAX;
    return changes;
}

int TerminalScreen::takeBells() {
    return std::exchange(bells_, 0);
}

}  // namespace trelcapg
