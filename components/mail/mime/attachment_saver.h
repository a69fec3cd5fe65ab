#pragma once

#include "expected.h"
#include "mail_parser.h"

#include <QStringList>

#include <vector>

namespace orvane::mail {

// Saves the attachments of the mail file `mailFile` in `mailDir` and answers
// their full paths, in order. Each goes under a new, safe name (never over an
// existing file) and is readable by the user alone (0600).
//
// Reading one mail twice (the mailer and the checker may both) saves its
// attachments once: a small hidden file in `mailDir`, named after the mail
// file, records what was saved for it, and a later call for the same,
// unchanged mail file answers those files again while they are still there
// at their size. A file this code did not create is never overwritten or
// removed.
//
// A failure removes what this call saved and says why in Japanese (a full
// disk as a full disk).
Expected<QStringList> saveAttachments(const std::vector<MailPart>& attachments,
                                      const QString& mailDir, const QString& mailFile);

// The file name extension for an attachment of media type `type` that comes
// without a name (".mp3" for audio/mpeg, ".bin" for anything unknown).
QString extensionFor(const QByteArray& type);

}  // namespace orvane::mail
