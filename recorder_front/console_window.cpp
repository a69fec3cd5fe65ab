#include "console_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "recorder_console.h"

namespace trelcapg {

ConsoleView::ConsoleView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::black);
    colours.setColor(QPalette::Text, QColor(0xC0, 0xC0, 0xC0));
    setPalette(colours);
}

QByteArray ConsoleView::KeyBytes(const QKeyEvent& event) {
    const int key = event.key();
    const auto mods = event.modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::ShiftModifier) && key >= Qt::Key_A &&
        key <= Qt::Key_Z) {
        return QByteArray(1, static_cast<char>(key - Qt::Key_A + 1));
    }
    if ((mods & Qt::ControlModifier) && key >= Qt::Key_BracketLeft && key <= Qt::Key_Underscore) {
        return QByteArray(1, static_cast<char>(key - Qt::Key_BracketLeft + 0x1B));
    }
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return "\r";
        case Qt::Key_Backspace:
            return "\x7f";
        case Qt::Key_Tab:
            return "\t";
        case Qt::Key_Escape:
            return "\x1b";
        case Qt::Key_Up:
            return "\x1b[A";
        case Qt::Key_Down:
            return "\x1b[B";
        case Qt::Key_Right:
            return "\x1b[C";
        case Qt::Key_Left:
            return "\x1b[D";
        default:
            return event.text().toUtf8();
    }
}

void ConsoleView::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier) &&
        event->key() == Qt::Key_C) {
        copy();
        return;
    }
    const QByteArray bytes = KeyBytes(*event);
    if (bytes.isEmpty()) {
        QPlainTextEdit::keyPressEvent(event);  // scrolling and the like
        return;
    }
    emit keysTyped(bytes);
}

ConsoleWindow::ConsoleWindow(RecorderConsole& console, const QString& title, int maxLines,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), screen_(maxLines), view_(new ConsoleView(this)) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    const QFontMetrics metrics(view_->font());
    resize(metrics.horizontalAdvance(QString(80, u'M')) + 40, metrics.lineSpacing() * 25 + 20);
    setFocusProxy(view_);

    connect(&console, &RecorderConsole::output, this, &ConsoleWindow::showOutput);
    connect(view_, &ConsoleView::keysTyped, &console, &RecorderConsole::typeKeys);
}

void ConsoleWindow::showOutput(const QByteArray& bytes) {
    screen_.feed(bytes);
    for (int bells = screen_.takeBells(); bells > 0; --bells) {
        QApplication::beep();
    }
    syncView();
}

void ConsoleWindow::syncView() {
    const TerminalScreen::Changes changes = screen_.takeChanges();
    const QStringList& lines = screen_.lines();
    QTextDocument* document = view_->document();
    if (changes.droppedLines >= document->blockCount()) {
        view_->setPlainText(lines.join(u'\n'));
    } else {
        QTextCursor cursor(document);
        cursor.beginEditBlock();
        if (changes.droppedLines > 0) {
            cursor.movePosition(QTextCursor::Start);
            cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                                changes.droppedLines);
            cursor.removeSelectedText();
        }
        if (changes.firstChangedLine < lines.size()) {
            const int first = std::min(changes.firstChangedLine, document->blockCount() - 1);
            cursor.setPosition(document->findBlockByNumber(first).position());
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            cursor.insertText(lines.mid(first).join(u'\n'));
        }
        cursor.endEditBlock();
    }
    // The text cursor stands where the terminal's does, and the view follows it.
    QTextCursor at(document->lastBlock());
    at.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor,
                    std::min(screen_.cursorColumn(), document->lastBlock().length() - 1));
    view_->setTextCursor(at);
    view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
}

void ConsoleWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

}  // namespace trelcapg
