#pragma once

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>

namespace orvane::mailcheck {

// Mouse messages on the icon.
enum IconMessage : int {
    MouseMove = 0x200,
    LeftButtonDown = 0x201,
    LeftButtonUp = 0x202,
    LeftButtonDoubleClick = 0x203,
    RightButtonDown = 0x204,
    RightButtonUp = 0x205,
    RightButtonDoubleClick = 0x206,
    MiddleButtonDown = 0x207,
};

// The desktop's notification area as the tray uses it: one icon of ours.
class NotificationArea : public QObject {
    Q_OBJECT
  public:
    // Whether the desktop has a notification area now.
    virtual bool available() const = 0;
    // Puts the icon in place. Asked again while it is there, nothing changes:
    // there is never more than one icon of ours.
    virtual void showIcon(const QIcon& icon, const QString& tip) = 0;
    virtual void removeIcon() = 0;

  signals:
    // The area appeared, was re-created (its host restarted: icons put there
    // before are gone), or went away.
    void availabilityChanged(bool available);
    // A mouse message on the icon and the pointer's position on the screen.
    void iconMessage(int message, QPoint at);
};

// The notification area through Qt's system tray icon. Whether the desktop
// has one is asked again every few seconds, so a host that comes or goes
// later is noticed.
class SystemNotificationArea : public NotificationArea {
    Q_OBJECT
  public:
    explicit SystemNotificationArea(
        std::chrono::milliseconds watchInterval = std::chrono::seconds(3));

    bool available() const override;
    void showIcon(const QIcon& icon, const QString& tip) override;
    void removeIcon() override;

  private:
    void watch();

    QSystemTrayIcon icon_;
    QTimer watch_;
    bool available_ = false;
};

}  // namespace orvane::mailcheck
