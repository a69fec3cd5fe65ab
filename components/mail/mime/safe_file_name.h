#pragma once

#include <QString>

namespace orvane::mail {

// A file name that stays inside its folder: only the last path component of
// `suggested`, without control characters or characters that are unsafe on
// any file system, without leading dots or blanks, no device names (CON,
// NUL, COM1...), at most 180 bytes of UTF-8 with the extension kept. An
// empty result is replaced by "attachment" + `defaultExtension`.
QString safeFileName(const QString& suggested, const QString& defaultExtension);

// A new file next to nothing else: creates `folder`/`name`, or "stem (2).ext",
// "stem (3).ext"... (a random number after nine) when taken, exclusively (O_CREAT|O_EXCL, so
// neither an existing file nor a symbolic link is ever followed or overwritten). Returns the open
// descriptor and sets `path`, or -1 on failure.
int createUniqueFile(const QString& folder, const QString& name, QString* path);

}  // namespace orvane::mail
