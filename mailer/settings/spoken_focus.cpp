#include "spoken_focus.h"

#include "announcer.h"

#include <QEvent>
#include <QWidget>

namespace orvane::mailer {

SpokenFocus::SpokenFocus(const Announcer& announcer, QObject* parent)
    : QObject(parent), announcer_(announcer) {}

void SpokenFocus::add(QWidget* widget, const QString& label) {
    add(widget, [label] { return label; });
}

void SpokenFocus::add(QWidget* widget, Label label) {
    labels_[widget] = std::move(label);
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this, [this, widget] {
        labels_.erase(widget);
        if (said_ == widget) {
            said_ = nullptr;
        }
    });
}

void SpokenFocus::say(QWidget* widget) const {
    const auto it = labels_.find(widget);
    if (it != labels_.end()) {
        announcer_.speak(it->second());
    }
}

bool SpokenFocus::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut && watched == said_) {
        said_ = nullptr;
    } else if (event->type() == QEvent::FocusIn && muted_ == 0 && watched != said_) {
        const auto it = labels_.find(watched);
        // A window that is being hidden can still be handed the focus.
        if (it != labels_.end() && static_cast<QWidget*>(watched)->isVisible()) {
            announcer_.speak(it->second());
            said_ = watched;
        }
    }
    return false;
}

}  // namespace orvane::mailer
