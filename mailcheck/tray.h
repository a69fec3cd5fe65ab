#pragma once

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPoint>
#include <QString>

class QAction;
class QWidget;

namespace orvane::mailcheck {

class Announcer;
class NotificationArea;

// The checker's icon in the notification area and its pop-up menu. The window
// lives hidden behind the icon; where the desktop has no notification area it
// stays shown, since a hidden window without an icon could not be reached.
class Tray : public QObject {
    Q_OBJECT
  public:
    static constexpr char kTip[] = "Orvaneメールチェッカー";

    // `window` is the one the icon hides and shows.
    Tray(NotificationArea& area, QWidget& window, Announcer& announcer, QIcon icon);

    // Puts the icon in place (or keeps the one there) and hides the window.
    void AddIcon();
    void DeleteIcon();
    // A mouse message on the icon: a left press or a double-click shows the
    // window, a right press pops up the menu at `at`; the others do nothing.
    void Picture1_MouseMove(int message, const QPoint& at);

    QMenu& menupopup() { return menupopup_; }

  signals:
    // "閉じる".
    void endRequested();
    // "今すぐチェック".
    void checkNowRequested();

  private:
    void show_me();
    void onAvailabilityChanged(bool available);
    void keepWindowShown();

    NotificationArea& area_;
    QWidget& window_;
    Announcer& announcer_;
    QIcon icon_;
    QMenu menupopup_;
    // Between AddIcon and DeleteIcon.
    bool iconWanted_ = false;
};

}  // namespace orvane::mailcheck
