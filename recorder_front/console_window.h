// The console window: shows what is written to the front end's console and passes the
// keys typed into it to the program running there (Ctrl+C included).
#pragma once

#include <QPlainTextEdit>
#include <QWidget>

#include "terminal_screen.h"

namespace trelcapg {

class RecorderConsole;

// The text area: read-only to editing, every key goes to the console as the bytes a
// terminal would send. Ctrl+Shift+C copies the selection.
class ConsoleView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ConsoleView(QWidget* parent = nullptr);

    // The bytes a terminal sends for the key, or nothing for keys it does not send.
    static QByteArray KeyBytes(const QKeyEvent& event);

  signals:
    void keysTyped(const QByteArray& keys);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
};

class ConsoleWindow : public QWidget {
    Q_OBJECT
  public:
    ConsoleWindow(RecorderConsole& console, const QString& title, int maxLines = 5000,
                  QWidget* parent = nullptr);

    // Everything the console holds, as text.
    QString screenText() const { return screen_.text(); }
    ConsoleView* view() const { return view_; }

    // Shows bytes written to the console.
    void showOutput(const QByteArray& bytes);

  signals:
    // The user closed the window: the front end ends.
    void closeRequested();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void syncView();

    TerminalScreen screen_;
    ConsoleView* view_;
};

}  // namespace trelcapg
