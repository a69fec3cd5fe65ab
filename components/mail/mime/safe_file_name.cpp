#include "safe_file_name.h"

#include "received_mail.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>
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

// The longest start of `text` that takes at most `maxBytes` in UTF-8, never
// splitting a surrogate pair.
QString truncatedToBytes(const QString& text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        const bool pair =
            QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype length = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

Failure cannotCreate(const QString& name, int errorNumber) {
    return Failure{
        FailureKind::Disk,
        QStringLiteral("「%1」を作れません：%2").arg(name, errorNumberText(errorNumber))};
}

bool isDotOrBlank(QChar c) {
    return c == u'.' || c.isSpace();
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
    qsizetype first = 0;
    qsizetype end = clean.size();
    while (first < end && isDotOrBlank(clean[first]))
        ++first;
    while (end > first && isDotOrBlank(clean[end - 1]))
        --end;
    clean = clean.sliced(first, end - first);
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
    // An attachment named like a saved mail file would be taken for a mail
    // the sender never sent.
    if (hasSavedMailForm(stem + extension))
        stem.prepend(u'_');
    return stem + extension;
}

OwnedFd::~OwnedFd() {
    if (fd_ >= 0)
        ::close(fd_);
}

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int OwnedFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Expected<OwnedFd> openForReading(const QString& path, const QString& what) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        return OwnedFd(fd);
    const int error = errno;
    return Failure{
        error == ENOENT ? FailureKind::NotFound : FailureKind::Disk,
        QStringLiteral("%1 %2 を開けません：%3").arg(what, path, errorNumberText(error))};
}

Expected<CreatedFile> createUniqueFile(const QString& folder, const QString& name) {
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
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0)
            return CreatedFile{OwnedFd(fd), full};
        if (errno != EEXIST)
            return cannotCreate(candidate, errno);
    }
    return cannotCreate(name, EEXIST);
}

}  // namespace orvane::mail
