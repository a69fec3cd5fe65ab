#pragma once

#include <QPointer>
#include <QString>

class QLabel;

namespace orvane::speech {
class Character;
}

namespace orvane::mailer {

// The one way the mailer says something (speak), sets the key guide
// (shortcut) and the status line (show_message).
class Announcer {
  public:
    Announcer(QLabel* cmdMessage, QLabel* shortcut02);

    void setCharacter(speech::Character* character) { character_ = character; }

    // Hands a copy of `w` with "-" and "=" blanked to the character; an empty
    // text says nothing. Returns at once.
    void speak(const QString& w) const;
    void shortcut(const QString& w);
    // Sets the status line and repaints it at once, before any long operation.
    void show_message(const QString& w);
    // Shows and speaks a failure: "エラー：" and the reason.
    void report_error(const QString& reason);

    static QString spokenForm(const QString& w);

  private:
    speech::Character* character_ = nullptr;
    QPointer<QLabel> cmdMessage_;
    QPointer<QLabel> shortcut02_;
};

}  // namespace orvane::mailer
