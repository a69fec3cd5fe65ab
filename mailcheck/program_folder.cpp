#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace orvane::mailcheck {

QString programFolder() {
    const QString home = qEnvironmentVariable("ORVANE_HOME");
    if (!home.isEmpty()) {
        return QDir(home).absolutePath();
    }
    return QCoreApplication::applicationDirPath();
}

QStringList characterFolders(const QString& folder) {
    return {QDir(folder).filePath(QStringLiteral("characters")),
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("characters"))};
}

Expected<QString> ensureMailFolder(const QString& folder) {
    const QString mailDir = QDir(folder).filePath(QStringLiteral("mail"));
    if (QFileInfo(mailDir).isDir()) {
        return mailDir;
    }
    errno = 0;
    if (!QDir().mkpath(folder) ||
        !QDir(folder).mkdir(QStringLiteral("mail"), QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ExeOwner)) {
        return fileFailure(
            QStringLiteral("メールフォルダー %1").arg(QDir::toNativeSeparators(mailDir)),
            QStringLiteral("を作れません"), errno ? errno : EACCES);
    }
    return mailDir;
}

}  // namespace orvane::mailcheck
