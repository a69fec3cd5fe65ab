#include "tray.h"

#include "announcer.h"
#include "notification_area.h"

#include <QAction>
#include <QWidget>

namespace orvane::mailcheck {

Tray::Tray(NotificationArea& area, QWidget& window, Announcer& announcer, QIcon icon)
    : area_(area), window_(window), announcer_(announcer), icon_(std::move(icon)) {
    menupopup_.setObjectName(QStringLiteral("menupopup"));
    menupopup_.setTitle(QStringLiteral("ポップアップ"));
    QAction* open = menupopup_.addAction(QStringLiteral("開く"), this, &Tray::show_me);
    open->setObjectName(QStringLiteral("show_me"));
    QAction* checkNow =
        menupopup_.addAction(QStringLiteral("今すぐチェック"), this, &Tray::checkNowRequested);
    checkNow->setObjectName(QStringLiteral("check_now"));
    menupopup_.addSeparator();
    QAction* close = menupopup_.addAction(QStringLiteral("閉じる"), this, &Tray::endRequested);
    close->setObjectName(QStringLiteral("close_me"));

    connect(&area_, &NotificationArea::iconMessage, this, &Tray::Picture1_MouseMove);
    connect(&area_, &NotificationArea::availabilityChanged, this, &Tray::onAvailabilityChanged);
}

void Tray::AddIcon() {
    iconWanted_ = true;
    if (!area_.available()) {
        keepWindowShown();
        return;
    }
    area_.showIcon(icon_, QString::fromUtf8(kTip));
    window_.hide();
}

void Tray::DeleteIcon() {
    iconWanted_ = false;
    area_.removeIcon();
}

void Tray::Picture1_MouseMove(int message, const QPoint& at) {
    switch (message) {
        case LeftButtonDown:
        case LeftButtonDoubleClick:
        case RightButtonDoubleClick:
            show_me();
            break;
        case RightButtonDown:
            menupopup_.popup(at);
            break;
        default:
            break;
    }
}

void Tray::show_me() {
    window_.show();
    window_.raise();
    window_.activateWindow();
}

void Tray::onAvailabilityChanged(bool available) {
    if (!iconWanted_) {
        return;
    }
    if (!available) {
        if (!window_.isVisible()) {
            keepWindowShown();
        }
        return;
    }
    // A new host knows nothing of icons put into the old one: put ours in
    // afresh. The window stays as it is.
    area_.removeIcon();
    area_.showIcon(icon_, QString::fromUtf8(kTip));
}

void Tray::keepWindowShown() {
    show_me();
    announcer_.notify(
        QStringLiteral("通知領域がないため、メールチェックの画面を表示したままにします"));
}

}  // namespace orvane::mailcheck
