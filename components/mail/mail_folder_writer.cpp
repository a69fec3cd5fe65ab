#include "mail_folder_writer.h"

#include "received_mail.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace orvane::mail {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// rename() that fails instead of replacing an existing target.
bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = encoded(from);
    const QByteArray target = encoded(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) ==
        0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // File systems without RENAME_NOREPLACE: a hard link fails on an
    // existing target as well.
    if (::link(source.constData(), target.constData()) != 0) {
        return false;
    }
    ::unlink(source.constData());
    return true;
}

// Creates `folder` (and what is missing above it); the folder itself is made
// the user's alone. Returns 0 or the error number.
int makePrivateFolder(const QString& folder) {
    const QByteArray path = encoded(folder);
    if (::mkdir(path.constData(), kFolderMode) != 0 && errno != EEXIST) {
        if (errno != ENOENT) {
            return errno;
        }
        QDir().mkpath(QFileInfo(folder).absolutePath());
        if (::mkdir(path.constData(), kFolderMode) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        return errno;
    }
    if (!S_ISDIR(info.st_mode)) {
        return ENOTDIR;
    }
    if ((info.st_mode & 07777) != kFolderMode && ::chmod(path.constData(), kFolderMode) != 0) {
        return errno;
    }
    return 0;
}

}  // namespace

MailFolderWriter::MailFolderWriter(QString folder, SavedMailKind kind)
    : folder_(std::move(folder)), kind_(kind) {}

MailFolderWriter::~MailFolderWriter() {
    abandon();
    dropFinished();
}

Failure MailFolderWriter::localFailure(int errorNumber) const {
    return {FailureKind::Disk,
            QStringLiteral("受信したメールをフォルダー %1 に保存できません：%2")
                .arg(QDir::toNativeSeparators(folder_), errorNumberText(errorNumber))};
}

Expected<void> MailFolderWriter::prepare() {
    folder_ = QFileInfo(folder_).absoluteFilePath();
    if (const int error = makePrivateFolder(folder_); error != 0) {
        return localFailure(error);
    }
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-3600);
    QDir dir(folder_);
    const QStringList leftovers = dir.entryList(
        {QString::fromLatin1(kTemporaryPrefix) + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& name : leftovers) {
        if (QFileInfo(dir.filePath(name)).lastModified().toUTC() < stale) {
            dir.remove(name);
        }
    }
    return success();
}

bool isReceivedMailFile(const QString& fileName) {
    return hasSavedMailForm(fileName) && !fileName.startsWith(QLatin1String("check-"));
}

QString MailFolderWriter::uniqueName() {
    ++sequence_;
    const QString name =
        QStringLiteral("%1-%2-%3.eml")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
            .arg(sequence_, 4, 10, QLatin1Char('0'))
            .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'));
    return kind_ == SavedMailKind::Received ? name : QStringLiteral("check-") + name;
}

Expected<void> MailFolderWriter::begin(int number) {
    abandon();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path = QDir(folder_).filePath(
            QStringLiteral("%1%2-%3-%4.part")
                .arg(QString::fromLatin1(kTemporaryPrefix))
                .arg(QCoreApplication::applicationPid())
                .arg(number)
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd = ::open(encoded(path).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode);
        if (fd >= 0) {
            current_ = {number, path, UniqueFd(fd)};
            return success();
        }
        if (errno != EEXIST) {
            return localFailure(errno);
        }
    }
    return localFailure(EEXIST);
}

Expected<void> MailFolderWriter::write(QByteArrayView data) {
    if (!current_.fd.valid()) {
        return localFailure(EBADF);
    }
    if (const int error = writeAll(current_.fd.get(), data); error != 0) {
        abandon();
        return localFailure(error);
    }
    return success();
}

Expected<void> MailFolderWriter::finish(int number) {
    if (!current_.fd.valid() || current_.number != number) {
        return localFailure(EBADF);
    }
    // Start writing back now, so that the fsync of commit() finds little to do.
    ::sync_file_range(current_.fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    finished_.push_back(std::move(current_));
    current_ = {};
    return success();
}

Expected<QList<int>> MailFolderWriter::commit() {
    QList<int> committed;
    for (OpenFile& done : finished_) {
        if (::fsync(done.fd.get()) != 0 || ::close(done.fd.release()) != 0) {
            const int error = errno;
            dropFinished();
            return localFailure(error);
        }
    }
    for (OpenFile& done : finished_) {
        bool renamed = false;
        for (int attempt = 0; attempt < 100 && !renamed; ++attempt) {
            const QString target = QDir(folder_).filePath(uniqueName());
            renamed = renameNoReplace(done.path, target);
            if (renamed) {
                stored_.append({done.number, target});
                committed.append(done.number);
                done.path.clear();
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (!renamed) {
            const int error = errno;
            dropFinished();
            return localFailure(error);
        }
    }
    finished_.clear();
    return committed;
}

void MailFolderWriter::dropFinished() {
    for (OpenFile& done : finished_) {
        done.fd.reset();
        if (!done.path.isEmpty()) {
            ::unlink(encoded(done.path).constData());
        }
    }
    finished_.clear();
}

void MailFolderWriter::abandon() {
    if (current_.fd.valid()) {
        current_.fd.reset();
        ::unlink(encoded(current_.path).constData());
    }
    current_ = {};
}

Expected<void> MailFolderWriter::syncFolder() {
    const UniqueFd fd(::open(encoded(folder_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid() || ::fsync(fd.get()) != 0) {
        return localFailure(errno);
    }
    return success();
}

void MailFolderWriter::removeStored() {
    dropFinished();
    for (const StoredMail& mail : stored_) {
        ::unlink(encoded(mail.path).constData());
    }
    stored_.clear();
}

QStringList MailFolderWriter::storedPaths() const {
    QStringList paths;
    paths.reserve(stored_.size());
    for (const StoredMail& mail : stored_) {
        paths << mail.path;
    }
    return paths;
}

}  // namespace orvane::mail
