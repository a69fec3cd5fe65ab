#include "safe_file_name.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <cerrno>

namespace orvane::mail {
namespace {

constexpr qsizetype kMaxNameBytes = 180;

bool isDeviceName(const QString& stem) {
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9]|LPT[0-9]|CONIN\\$|CONOUT\\$)$"),
        QRegularExpression::CaseInsensitiveOption);
    return device.match(stem.trimmed()).hasMatch();
}

QString truncatedToBytes(QString text, qsizetype maxBytes) {
    while (!text.isEmpty() && text.toUtf8().size() > maxBytes) {
        text.chop(1);
        if (!text.isEmpty() && text.back().isHighSurrogate())
            text.chop(1);
    }
    return text;
}

}  // namespace

QString safeFileName(const QString& suggested, const QString& defaultExtension) {
    QString name = suggested;
    name.replace(u'\\', u'/');
    const QStringList parts = name.split(u'/', Qt::SkipEmptyParts);
    name = parts.isEmpty() ? QString() : parts.back();

    QString clean;
    for (QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Format)
            continue;
        if (QStringLiteral(":*?\"<>|").contains(c))
            clean.append(u'_');
        else
            clean.append(c);
    }
    // No hidden files, no "." or "..", no trailing dots or blanks.
    while (!clean.isEmpty() && (clean.front() == u'.' || clean.front().isSpace()))
        clean.remove(0, 1);
    while (!clean.isEmpty() && (clean.back() == u'.' || clean.back().isSpace()))
        clean.chop(1);
    if (clean.isEmpty())
        clean = QStringLiteral("attachment") + defaultExtension;

    qsizetype dot = clean.lastIndexOf(u'.');
    QString stem = dot > 0 ? clean.left(dot) : clean;
    QString extension = dot > 0 ? clean.mid(dot) : QString();
    if (isDeviceName(stem))
        stem.prepend(u'_');
    extension = truncatedToBytes(extension, 20);
    stem = truncatedToBytes(stem, kMaxNameBytes - extension.toUtf8().size());
    if (stem.isEmpty())
        stem = QStringLiteral("attachment");
    return stem + extension;
}

int createUniqueFile(const QString& folder, const QString& name, QString* path) {
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    const QDir dir(folder);
    // "stem (2).ext" to "stem (9).ext" first; after that a random number, so
    // that a folder full of one name does not cost one attempt per file.
    for (int attempt = 1; attempt < 100; ++attempt) {
        QString candidate = name;
        if (attempt >= 10)
            candidate = QStringLiteral("%1 (%2)%3")
                            .arg(stem)
                            .arg(QRandomGenerator::global()->bounded(10, 100000000))
                            .arg(extension);
        else if (attempt > 1)
            candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(attempt).arg(extension);
        const QString full = dir.absoluteFilePath(candidate);
        const int fd = ::open(QFile::encodeName(full).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd >= 0) {
            *path = full;
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

}  // namespace orvane::mail
