#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

namespace orvane::mailer {

// While an InputHold lives, keyboard and mouse events addressed to any object
// are held back instead of being handled; when it ends they are delivered in
// the order they came. Used around the blocking waits (a pause, a started
// program), during which no key, menu or focus handler may run but nothing
// typed may be lost. Timers, repaints and speech go on meanwhile.
class InputHold : public QObject {
  public:
    InputHold();
    ~InputHold() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    std::vector<Held> held_;
};

}  // namespace orvane::mailer
