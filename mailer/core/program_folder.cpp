#include "program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orvane::mailer {

QString programFolder() {
    const QString home = qEnvironmentVariable("ORVANE_HOME");
    if (!home.isEmpty()) {
        return QDir(home).absolutePath();
    }
    return QCoreApplication::applicationDirPath();
}

QString shippedFile(const QString& name) {
    const QString own = QDir(programFolder()).filePath(name);
    if (QFileInfo::exists(own)) {
        return own;
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

}  // namespace orvane::mailer
