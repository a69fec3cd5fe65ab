#pragma once

#include <QString>

namespace orvane::mailer {

// The program folder: where the user's data lives (speak_mail.mdb, mail/, voice
// files). It is the executable's folder unless ORVANE_HOME names another.
QString programFolder();

// A file that ships with the program (help.txt, the manual, characters/): the
// user's copy in the program folder where there is one, else the one beside
// the executable.
QString shippedFile(const QString& name);

}  // namespace orvane::mailer
