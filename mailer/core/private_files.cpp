#include "private_files.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>
#include <cerrno>

namespace orvane::mailer {

Expected<void> keepPrivate(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0) {
        if (errno == ENOENT) {
            return success();
        }
        return fileFailure(path, QStringLiteral("を調べられません"), errno);
    }
    const mode_t wanted = S_ISDIR(info.st_mode) ? 0700 : 0600;
    if ((info.st_mode & 07777) == wanted) {
        return success();
    }
    if (::chmod(native.constData(), wanted) != 0) {
        return fileFailure(path, QStringLiteral("をほかの利用者から守れません"), errno);
    }
    return success();
}

Expected<void> makePrivateFolder(const QString& path) {
    if (!QDir().mkpath(path)) {
        const QByteArray native = QFile::encodeName(path);
        // mkpath keeps no error number; one mkdir more names the cause.
        const int cause = ::mkdir(native.constData(), 0700) == 0 ? 0 : errno;
        if (cause != 0 && cause != EEXIST) {
            return fileFailure(path, QStringLiteral("を作れません"), cause);
        }
    }
    return keepPrivate(path);
}

}  // namespace orvane::mailer
