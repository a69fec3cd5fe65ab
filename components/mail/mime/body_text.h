#pragma once

#include "mail_parser.h"

#include <QString>

#include <vector>

namespace orvane::mail {

// The text of a mail to speak and show: its inline text parts in order, each
// decoded from its charset and HTML laid out as text, one line break between
// two parts, parts with nothing but blanks left out. Line breaks are "\n";
// there are no control characters but tabs. When `cut`, the text ends in a
// line "（以下省略）". Memory grows with the text alone: the parts are read
// piece by piece.
QString bodyText(const std::vector<MailPart>& parts, bool cut);

}  // namespace orvane::mail
