#pragma once

#include <QString>

namespace orvane::mail {

// Readable text of an HTML document: no tags, nothing of scripts, styles or
// the head, entities decoded, a line break after each block (paragraph, div,
// list item, table row, <br>), blanks collapsed outside <pre>, at most one
// empty line in a row.
QString htmlToText(const QString& html);

}  // namespace orvane::mail
