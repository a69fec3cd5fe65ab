#pragma once

#include "array_result.h"

#include <QString>

namespace orvane::mail {

// ReadMail: reads one saved mail file and answers with its elements.
//
// `file` is a bare name inside `mailDir` or a full path. `names` is a list of
// header names separated by ":" (a trailing ":" is allowed). The answer holds
// one element per name, in order, then the body, then one element per
// attachment:
//   "subject"  -> "subject: " + decoded subject
//   "from"     -> "From: " + sender, the sender being "display name <address>"
//                 or the bare address when the mail gives no display name
//   "date"     -> "Date: " + the Date header as written
//   any other  -> name + ": " + that header's decoded value ("" when absent)
//   body       -> "Body:" + the decoded text (no blank after the colon)
//   attachment -> "File: " + full path of the saved file in `mailDir`
// The list "from:subject:" (the checker's) answers in the checker's own form
// instead: element 0 is "差出人 " + display name (or address) + "、",
// element 1 is "件名 " + subject, element 2 the body ("Body:" + text), then
// the attachments as above; so a mail with one attachment has four elements.
//
// Every attachment is written into `mailDir` under a new, safe name; no
// existing file is ever overwritten. Every text is valid UTF-8 (no "?" where
// the bytes could be decoded). A failure (missing or unreadable file, no
// mail folder, a full disk) is "not an array" with a Japanese reason.
ArrayResult readMailFile(const QString& file, const QString& names, const QString& mailDir);

}  // namespace orvane::mail
