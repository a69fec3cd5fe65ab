#pragma once

#include <QString>
#include <QStringList>

#include <array>

namespace orvane::mailer {

// The spoken help: entry 1 is the general help, entries 2 to 6 follow the
// place of the focus (input_mode), entry 0 is whatever precedes the first
// marked line of help.txt.
using HelpTexts = std::array<QString, 11>;

// Fills the help entries from the lines of help.txt. A line holding "<"
// advances to the next entry and is replaced by the line after it; a line in
// hand holding "</" is dropped together with the line after it. Lines of one
// entry are joined without a separator. Entries past the last index are
// ignored rather than written out of bounds.
HelpTexts parseHelpText(const QStringList& lines);

}  // namespace orvane::mailer
