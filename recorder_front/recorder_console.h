// The front end's console: a pseudo-terminal kept open for the front end's whole life,
// on which each recording's recorder runs, and whose output the console window shows.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>
#include <optional>
#include <string_view>

#include "pseudo_terminal.h"

namespace trelcapg {

class RecorderConsole : public QObject {
    Q_OBJECT
  public:
    explicit RecorderConsole(QObject* parent = nullptr);
    ~RecorderConsole() override;

    // Opens the terminal, or says why it cannot be made (and there is none).
    orvane::Expected<void> open(int columns = 80, int rows = 25);
    // Gives up the terminal; a program still on it gets a hang-up.
    void close();

    bool isOpen() const { return terminal_.has_value(); }
    // The terminal, or null when there is none.
    const PseudoTerminal* terminal() const { return terminal_ ? &*terminal_ : nullptr; }

    // Writes a line of the front end's own (a banner) as console output; nowhere when
    // there is no terminal.
    void writeOutput(std::string_view text);
    // Passes keys typed into the console window to the program on it.
    void typeKeys(const QByteArray& keys);

  signals:
    // Bytes written to the console by the recorder, the front end, or the echo of keys.
    void output(const QByteArray& bytes);

  private:
    void readAvailable();

    std::optional<PseudoTerminal> terminal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace trelcapg
