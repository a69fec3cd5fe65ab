#pragma once

#include "expected.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace orvane::mailer {

// Starts a program and waits for its end while a countdown of seconds ticks on
// the status line. No key, menu or focus handler runs during the wait; what
// the user types meanwhile is delivered afterwards.
class ShellWait : public QObject {
  public:
    using ShowMessage = std::function<void(const QString&)>;

    explicit ShellWait(ShowMessage showMessage, QObject* parent = nullptr);

    // Runs `commandLine` (program and arguments, quoted as on a command line)
    // in `workingFolder`. `windowStyle` is accepted for the callers' sake;
    // started programs never get a window here. Fails when the program could
    // not be started.
    Expected<void> shell_and_wait(const QString& commandLine, int windowStyle, int seconds,
                                  const QString& workingFolder);

    const QTimer& timer() const { return Timer1_; }

  private:
    void Timer1_Timer();

    ShowMessage showMessage_;
    QTimer Timer1_;
    int countdown_ = 0;
};

}  // namespace orvane::mailer
