#pragma once

#include "expected.h"

#include <QString>

namespace orvane::mail {

// A file name that stays inside its folder: only the last path component of
// `suggested`, without control characters or characters that are unsafe on
// any file system, without leading dots or blanks, no device names (CON,
// NUL, COM1...), at most 180 bytes of UTF-8 with the extension kept. An
// empty result is replaced by "attachment" + `defaultExtension`. Linear in
// the length of `suggested`, however long.
QString safeFileName(const QString& suggested, const QString& defaultExtension);

// An open file descriptor, closed when dropped.
class OwnedFd {
  public:
    explicit OwnedFd(int fd = -1) : fd_(fd) {}
    ~OwnedFd();
    OwnedFd(OwnedFd&& other) noexcept : fd_(other.release()) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept;
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;

    int get() const { return fd_; }
    // Hands the descriptor over; this object no longer closes it.
    int release();

  private:
    int fd_;
};

// Opens `path` for reading. A failure names the file as `what` (for example
// "メールファイル") and says why in Japanese; a missing file is NotFound.
Expected<OwnedFd> openForReading(const QString& path, const QString& what);

struct CreatedFile {
    OwnedFd fd;
    QString path;
};

// A new file of the user's alone (mode 0600): creates `folder`/`name`, or
// "stem (2).ext", "stem (3).ext"... (a random number after nine) when taken,
// exclusively (O_CREAT|O_EXCL, so neither an existing file nor a symbolic
// link is ever followed or overwritten). A failure's reason starts with the
// quoted name ("「voice.mp3」を作れません：ディスクがいっぱいです"), so a caller can
// put what the file is in front of it.
Expected<CreatedFile> createUniqueFile(const QString& folder, const QString& name);

}  // namespace orvane::mail
