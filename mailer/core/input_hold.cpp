#include "input_hold.h"

#include <QCoreApplication>

namespace orvane::mailer {

namespace {
bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}
}  // namespace

InputHold::InputHold() {
    QCoreApplication::instance()->installEventFilter(this);
}

InputHold::~InputHold() {
    QCoreApplication::instance()->removeEventFilter(this);
    for (Held& h : held_) {
        if (h.receiver) {
            QCoreApplication::postEvent(h.receiver, h.event.release());
        }
    }
}

bool InputHold::eventFilter(QObject* watched, QEvent* event) {
    if (!isUserInput(event->type())) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep the key for the widget: the held key press is replayed later.
        event->accept();
        return true;
    }
    held_.push_back({watched, std::unique_ptr<QEvent>(event->clone())});
    return true;
}

}  // namespace orvane::mailer
