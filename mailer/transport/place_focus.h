#pragma once

#include <QObject>

#include <functional>
#include <map>

class QWidget;

namespace orvane::mailer {

class FocusConvention;

// The got-focus and lost-focus handlers of the places this folder builds.
//
// The focus convention first sets input_mode and the colour; the place's own
// handler runs after it, so a handler may move the focus on (the subject
// handing it to the body) and the place it lands in stays the current one.
//
// Focus that only leaves for the menu bar, a menu or another window and then
// comes back is not a move between places: the colours follow it, but no
// handler runs, so a field keeps what was typed into it and leaving it for a
// menu looks nothing up.
class PlaceFocus : public QObject {
  public:
    using Handler = std::function<void()>;

    PlaceFocus(FocusConvention& convention, QObject* parent);

    void add(QWidget* widget, int mode, Handler gotFocus, Handler lostFocus = {});

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Handlers {
        Handler gotFocus;
        Handler lostFocus;
    };
    FocusConvention& convention_;
    std::map<QObject*, Handlers> handlers_;
};

}  // namespace orvane::mailer
