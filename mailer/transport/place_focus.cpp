#include "place_focus.h"

#include "focus_convention.h"

#include <QFocusEvent>
#include <QWidget>

namespace orvane::mailer {

namespace {

bool movesBetweenPlaces(const QFocusEvent* event) {
    switch (event->reason()) {
        case Qt::PopupFocusReason:
        case Qt::MenuBarFocusReason:
        case Qt::ActiveWindowFocusReason:
            return false;
        default:
            return true;
    }
}

}  // namespace

PlaceFocus::PlaceFocus(FocusConvention& convention, QObject* parent)
    : QObject(parent), convention_(convention) {}

void PlaceFocus::add(QWidget* widget, int mode, Handler gotFocus, Handler lostFocus) {
    handlers_[widget] = Handlers{std::move(gotFocus), std::move(lostFocus)};
    widget->installEventFilter(this);
    // Installed again after us, the convention's filter runs before ours.
    convention_.addPlace(widget, mode);
    connect(widget, &QObject::destroyed, this, [this, widget] { handlers_.erase(widget); });
}

bool PlaceFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut) {
        return false;
    }
    const auto it = handlers_.find(watched);
    if (it == handlers_.end() || !movesBetweenPlaces(static_cast<QFocusEvent*>(event))) {
        return false;
    }
    // Copied: a handler may move the focus, which runs other handlers first.
    const Handler handler =
        event->type() == QEvent::FocusIn ? it->second.gotFocus : it->second.lostFocus;
    if (handler) {
        handler();
    }
    return false;
}

}  // namespace orvane::mailer
