#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orvane::mailcheck {

Expected<std::unique_ptr<QLockFile>> claimProgramFolder(const QString& folder) {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty()) {
        runtime = QDir::tempPath();
    }
    const QByteArray key = QCryptographicHash::hash(QFileInfo(folder).absoluteFilePath().toUtf8(),
                                                    QCryptographicHash::Sha1)
                               .toHex()
                               .left(16);
    auto lock = std::make_unique<QLockFile>(
        QDir(runtime).filePath(QStringLiteral("orvane_mail_check-%1.lock").arg(key)));
    lock->setStaleLockTime(0);  // only a dead owner makes a lock stale
    if (lock->tryLock(0)) {
        return lock;
    }
    if (lock->error() == QLockFile::LockFailedError) {
        return fail(FailureKind::Refused,
                    QStringLiteral("Orvaneメールチェッカーはすでに動いています"));
    }
    return fail(FailureKind::Disk,
                QStringLiteral("Orvaneメールチェッカーの実行中の印を %1 に作れません")
                    .arg(QDir::toNativeSeparators(runtime)));
}

}  // namespace orvane::mailcheck
