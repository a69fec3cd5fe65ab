#include "focus_convention.h"

#include <QEvent>
#include <QWidget>

namespace orvane::mailer {

void FocusConvention::addPlace(QWidget* widget, int mode, Greeting greeting) {
    places_[widget] = Place{mode, std::move(greeting)};
    widget->installEventFilter(this);
    paint(widget, normal_color);
}

void FocusConvention::paint(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, color);
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool FocusConvention::eventFilter(QObject* watched, QEvent* event) {
    const auto it = places_.find(watched);
    if (it == places_.end()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::FocusIn) {
        inputMode_ = it->second.mode;
        paint(widget, focus_color);
        if (it->second.greeting) {
            it->second.greeting();
        }
    } else if (event->type() == QEvent::FocusOut) {
        paint(widget, normal_color);
    }
    return false;
}

}  // namespace orvane::mailer
