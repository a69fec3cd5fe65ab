#pragma once

#include "expected.h"
#include "settings_file.h"

#include <QObject>
#include <QString>

class QLineEdit;

namespace orvane::mailcheck {

class Announcer;

// The window's four settings boxes and the settings file behind them. The
// character is the fifth value: it is not shown, it changes when one is
// chosen from the list and reaches the file with the next save.
class SettingsForm : public QObject {
    Q_OBJECT
  public:
    struct Boxes {
        QLineEdit* pop;
        QLineEdit* account;
        QLineEdit* password;
        QLineEdit* interval;
    };

    SettingsForm(Boxes boxes, QString filePath, Announcer& announcer);

    // Loads the file into the boxes; usable settings are applied. A missing
    // or short file leaves the boxes' initial texts, values that cannot be
    // used are shown for mending; either way the failure is answered and
    // nothing is applied (no check runs until the settings are saved).
    // Nothing is spoken here: the character may not be loaded yet.
    Expected<CheckerSettings> read_ini();
    // Asks aloud for the settings, saying why they are needed.
    void askForSettings(const Failure& why);

    // Takes the boxes and the character, checks them and rewrites the file,
    // then applies them. A refusal is spoken and shown, and neither the
    // file nor the applied settings change.
    Expected<CheckerSettings> save_ini();

    const QString& character() const { return character_; }
    void setCharacter(const QString& name) { character_ = name; }

  signals:
    // Settings read or saved that checks can use, with their tick limit.
    void applied(const CheckerSettings& settings, double tickLimit);

  private:
    CheckerSettings fromBoxes() const;

    Boxes boxes_;
    QString filePath_;
    Announcer& announcer_;
    QString character_;
};

}  // namespace orvane::mailcheck
