#include "notification_area.h"

#include <QCursor>

namespace orvane::mailcheck {

SystemNotificationArea::SystemNotificationArea(std::chrono::milliseconds watchInterval)
    : available_(QSystemTrayIcon::isSystemTrayAvailable()) {
    // Qt tells clicks apart from double-clicks but not presses from releases:
    // an activation is taken as the press of its button.
    connect(&icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                int message = MouseMove;
                switch (reason) {
                    case QSystemTrayIcon::Trigger:
                        message = LeftButtonDown;
                        break;
                    case QSystemTrayIcon::DoubleClick:
                        message = LeftButtonDoubleClick;
                        break;
                    case QSystemTrayIcon::Context:
                        message = RightButtonDown;
                        break;
                    case QSystemTrayIcon::MiddleClick:
                        message = MiddleButtonDown;
                        break;
                    case QSystemTrayIcon::Unknown:
                        break;
                }
                emit iconMessage(message, QCursor::pos());
            });
    watch_.setInterval(watchInterval);
    connect(&watch_, &QTimer::timeout, this, &SystemNotificationArea::watch);
    watch_.start();
}

bool SystemNotificationArea::available() const {
    return available_;
}

void SystemNotificationArea::showIcon(const QIcon& icon, const QString& tip) {
    icon_.setIcon(icon);
    icon_.setToolTip(tip);
    icon_.show();
}

void SystemNotificationArea::removeIcon() {
    icon_.hide();
}

void SystemNotificationArea::watch() {
    const bool now = QSystemTrayIcon::isSystemTrayAvailable();
    if (now != available_) {
        available_ = now;
        emit availabilityChanged(now);
    }
}

}  // namespace orvane::mailcheck
