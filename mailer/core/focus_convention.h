#pragma once

#include <QColor>
#include <QObject>

#include <functional>
#include <map>

class QWidget;

namespace orvane::mailer {

inline const QColor focus_color(200, 200, 200);
inline const QColor normal_color(255, 255, 255);

// The places of the window, as input_mode numbers. They also select the
// spoken help entry.
enum InputMode : int {
    kModeNone = 0,
    kModeMailList = 2,
    kModeFolderList = 3,
    kModeAddressOrSubject = 4,
    kModeBody = 5,
    kModeAddressBook = 6,
};

// When a registered place gets the focus it becomes the current place
// (input_mode), takes focus_color and runs its own greeting (key guide, status
// line, spoken prompt); when it loses the focus it goes back to normal_color.
class FocusConvention : public QObject {
  public:
    using Greeting = std::function<void()>;

    explicit FocusConvention(QObject* parent = nullptr) : QObject(parent) {}

    void addPlace(QWidget* widget, int mode, Greeting greeting = {});

    int input_mode() const { return inputMode_; }

    static void paint(QWidget* widget, const QColor& color);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Place {
        int mode;
        Greeting greeting;
    };
    std::map<QObject*, Place> places_;
    int inputMode_ = kModeNone;
};

}  // namespace orvane::mailer
