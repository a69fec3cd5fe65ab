#pragma once

#include <QObject>
#include <QString>

namespace orvane::mailcheck {

class CheckerVoice;

// What the checker tells the user besides the mail itself (requests, refusals,
// troubles): spoken by the character and shown on the window's notice line.
class Announcer : public QObject {
    Q_OBJECT
  public:
    explicit Announcer(CheckerVoice& voice);

    // Shows the character, speaks `text` and hides the character once it has
    // been heard.
    void notify(const QString& text);
    // Speaks `text` while the character is out for something else.
    void say(const QString& text);

  signals:
    void shown(const QString& text);

  private:
    CheckerVoice& voice_;
};

}  // namespace orvane::mailcheck
