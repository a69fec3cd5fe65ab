#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class QWidget;

namespace orvane::mailer {

class Announcer;

// Says a control's label when it gets the keyboard focus, so that a user who
// cannot see the window always hears where the focus went.
class SpokenFocus : public QObject {
  public:
    using Label = std::function<QString()>;

    SpokenFocus(const Announcer& announcer, QObject* parent);

    void add(QWidget* widget, const QString& label);
    // For controls whose spoken text depends on their state (a check box, a list).
    void add(QWidget* widget, Label label);

    // Says the label of `widget` now.
    void say(QWidget* widget) const;

    // While one lives, focus moves say nothing: the program passing the focus
    // on its way to where it puts it, which then speaks as usual.
    class Muted {
      public:
        explicit Muted(SpokenFocus& focus) : focus_(focus) { ++focus_.muted_; }
        ~Muted() { --focus_.muted_; }
        Muted(const Muted&) = delete;
        Muted& operator=(const Muted&) = delete;

      private:
        SpokenFocus& focus_;
    };

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const Announcer& announcer_;
    std::map<QObject*, Label> labels_;
    // The control whose label was said and that has not lost the focus since:
    // a window being shown and then activated gives it the focus twice.
    QObject* said_ = nullptr;
    int muted_ = 0;
};

}  // namespace orvane::mailer
