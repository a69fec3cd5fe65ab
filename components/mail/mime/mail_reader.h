#pragma once

#include "expected.h"
#include "received_mail.h"

#include <QString>

namespace orvane::mail {

// ReadMail: reads one saved mail file and saves its attachments.
//
// `file` is a bare name inside `mailDir` or a full path. The subject, sender
// and date are decoded from any charset (RFC 2047 words, raw 8-bit bytes in
// the charset the mail declares elsewhere, else detected); the body joins
// every inline text part (see bodyText). Attachments are saved in `mailDir`
// as saveAttachments does, so reading the same file again answers the same
// files. Every text is valid Unicode (no "?" where bytes could be decoded).
// A failure (missing or unreadable file, no mail folder, a full disk) says
// why in Japanese.
Expected<ReceivedMail> readMailFile(const QString& file, const QString& mailDir);

}  // namespace orvane::mail
