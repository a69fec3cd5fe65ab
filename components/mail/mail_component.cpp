#include "mail_component.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>

#include <algorithm>

namespace orvane::mail {

void MailComponent::sleep(int seconds) { sleepKeepingInput(seconds); }

void sleepKeepingInput(int seconds) {
    QDeadlineTimer deadline(std::chrono::seconds(std::max(0, seconds)));
    if (QCoreApplication::instance() == nullptr ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        QThread::msleep(static_cast<unsigned long>(std::max(0, seconds)) * 1000);
        return;
    }
    // Excluding user input leaves keys and clicks in the queue; they are
    // delivered once the pause is over.
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                            QEventLoop::WaitForMoreEvents,
                                        static_cast<int>(std::min<qint64>(
                                            deadline.remainingTime(), 50)));
        if (!deadline.hasExpired()) {
            QThread::msleep(std::min<qint64>(deadline.remainingTime(), 10));
        }
    }
}

}  // namespace orvane::mail
