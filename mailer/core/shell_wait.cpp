#include "shell_wait.h"

#include "input_hold.h"

#include <QEventLoop>
#include <QProcess>

namespace orvane::mailer {

ShellWait::ShellWait(ShowMessage showMessage, QObject* parent)
    : QObject(parent), showMessage_(std::move(showMessage)) {
    // A countdown of whole seconds: a coarse timer drifts by up to 5% a tick.
    Timer1_.setTimerType(Qt::PreciseTimer);
    connect(&Timer1_, &QTimer::timeout, this, &ShellWait::Timer1_Timer);
}

void ShellWait::Timer1_Timer() {
    --countdown_;
    showMessage_(QString::number(countdown_));
}

Expected<void> ShellWait::shell_and_wait(const QString& commandLine, int windowStyle, int seconds,
                                         const QString& workingFolder) {
    Q_UNUSED(windowStyle);
    QStringList args = QProcess::splitCommand(commandLine);
    if (args.isEmpty()) {
        return fail(FailureKind::BadInput, QStringLiteral("コマンドがありません"));
    }
    const QString program = args.takeFirst();

    countdown_ = seconds;
    Timer1_.setInterval(1000);
    Timer1_.start();

    InputHold hold;
    QProcess process;
    process.setWorkingDirectory(workingFolder);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    QEventLoop loop;
    Expected<void> result;
    connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            result = fail(
                FailureKind::NotFound,
                QStringLiteral("%1 を起動できません（%2）").arg(program, process.errorString()));
            loop.quit();
        }
    });
    process.start(program, args);
    if (process.state() != QProcess::NotRunning || result) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    Timer1_.stop();
    return result;
}

}  // namespace orvane::mailer
