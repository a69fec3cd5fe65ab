#include "mail_component.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace orvane::mail {

void MailComponent::sleep(int seconds) {
    const std::chrono::seconds pause(std::max(0, seconds));
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::sleep(static_cast<unsigned long>(pause.count()));
        return;
    }
    // Excluding user input leaves keys and clicks in the queue; they are
    // delivered once the pause is over. Timers, repaints and the like run.
    QEventLoop loop;
    QTimer::singleShot(pause, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace orvane::mail
