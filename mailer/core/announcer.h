#pragma once

#include "expected.h"

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

    // Hands the spoken form of `w` to the character; an empty text says
    // nothing. Returns at once; `w` itself is left unchanged.
    void speak(const QString& w) const;
    // Silences the character: what it is saying and everything queued.
    void silence() const;
    void shortcut(const QString& w);
    // Sets the status line and repaints it at once, before any long operation.
    void show_message(const QString& w);
    // Shows and speaks a failure: "エラー：" and the reason.
    void report_error(const QString& reason);
    void report(const Failure& failure) { report_error(failure.reason); }

    // What is heard of `w`: rulers and quotes stored in mails are not read out
    // ("-", "=", "_" and their full-width forms and dash lines become pauses,
    // double quotes are dropped).
    static QString spokenForm(const QString& w);

  private:
    speech::Character* character_ = nullptr;
    QPointer<QLabel> cmdMessage_;
    QPointer<QLabel> shortcut02_;
};

}  // namespace orvane::mailer
