#include "seen_uid_store.h"

#include "posix_file.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace orvane::mail {

namespace {

Failure storeFailure(const QString& action, int errorNumber) {
    return {
        FailureKind::Disk,
        QStringLiteral("受信済みメールの記録を%1：%2").arg(action, errorNumberText(errorNumber))};
}

}  // namespace

SeenUidStore::SeenUidStore(const QString& folder, const QString& server, const QString& user) {
    const QByteArray key = QCryptographicHash::hash(
        server.trimmed().toLower().toUtf8() + '\n' + user.toUtf8(), QCryptographicHash::Sha1);
    path_ = QDir(folder).filePath(QStringLiteral(".seen-uidl-") +
                                  QString::fromLatin1(key.toHex().left(16)));
}

Expected<QSet<QByteArray>> SeenUidStore::load() const {
    QSet<QByteArray> uids;
    const UniqueFd fd(::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        if (errno == ENOENT) {
            return uids;
        }
        return storeFailure(QStringLiteral("読めません"), errno);
    }
    QFile file;
    if (!file.open(fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        return storeFailure(QStringLiteral("読めません"), EIO);
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray uid = line.trimmed();
        if (!uid.isEmpty()) {
            uids.insert(uid);
        }
    }
    return uids;
}

Expected<void> SeenUidStore::save(const QSet<QByteArray>& uids) const {
    QList<QByteArray> sorted(uids.begin(), uids.end());
    std::sort(sorted.begin(), sorted.end());
    QByteArray content;
    for (const QByteArray& uid : sorted) {
        content += uid + '\n';
    }
    // A new file beside the old one, on disk before it takes the old one's
    // place: a crash leaves either the old record or the new one.
    const QByteArray target = QFile::encodeName(path_);
    const QByteArray temporary =
        target + ".new-" + QByteArray::number(QRandomGenerator::global()->generate(), 16);
    UniqueFd fd(
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return storeFailure(QStringLiteral("保存できません"), errno);
    }
    if (const int error = writeAll(fd.get(), content); error != 0) {
        ::unlink(temporary.constData());
        return storeFailure(QStringLiteral("保存できません"), error);
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0 ||
        ::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return storeFailure(QStringLiteral("保存できません"), error);
    }
    return success();
}

}  // namespace orvane::mail
