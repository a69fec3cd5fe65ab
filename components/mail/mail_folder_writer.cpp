#include "mail_folder_writer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvane::mail {

namespace {

// rename() that fails instead of replacing an existing target.
bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
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

}  // namespace

MailFolderWriter::MailFolderWriter(QString folder) : folder_(std::move(folder)) {}

MailFolderWriter::~MailFolderWriter() {
    abandon();
}

Failure MailFolderWriter::localFailure(const QString& detail) const {
    return {FailureKind::Disk,
            QStringLiteral("受信したメールをフォルダー %1 に保存できません（%2）")
                .arg(QDir::toNativeSeparators(folder_), detail)};
}

Status MailFolderWriter::prepare() {
    if (!QDir().mkpath(folder_)) {
        return localFailure(QStringLiteral("フォルダーを作れません"));
    }
    folder_ = QFileInfo(folder_).absoluteFilePath();
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-3600);
    QDir dir(folder_);
    const QStringList leftovers = dir.entryList(
        {QString::fromLatin1(kTemporaryPrefix) + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
    for (const QString& name : leftovers) {
        if (QFileInfo(dir.filePath(name)).lastModified().toUTC() < stale) {
            dir.remove(name);
        }
    }
    return std::nullopt;
}

bool isReceivedMailFile(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\d{8}-\\d{6}-\\d{4,}-[0-9a-f]{4}\\.eml$"));
    return pattern.match(fileName).hasMatch();
}

QString MailFolderWriter::uniqueName() {
    ++sequence_;
    return QStringLiteral("%1-%2-%3.eml")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(sequence_, 4, 10, QLatin1Char('0'))
        .arg(QRandomGenerator::global()->bounded(0x10000), 4, 16, QLatin1Char('0'));
}

Status MailFolderWriter::begin(int number) {
    abandon();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            QStringLiteral("%1%2-%3-%4.part")
                .arg(QString::fromLatin1(kTemporaryPrefix))
                .arg(QCoreApplication::applicationPid())
                .arg(number)
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        auto file = std::make_unique<QFile>(QDir(folder_).filePath(name));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            current_ = std::move(file);
            return std::nullopt;
        }
        if (file->exists()) {
            continue;
        }
        return localFailure(file->errorString());
    }
    return localFailure(QStringLiteral("一時ファイルを作れません"));
}

Status MailFolderWriter::write(QByteArrayView data) {
    if (!current_) {
        return localFailure(QStringLiteral("書き込み先がありません"));
    }
    if (current_->write(data.data(), data.size()) != data.size()) {
        return localFailure(current_->errorString());
    }
    return std::nullopt;
}

Status MailFolderWriter::finish(int number) {
    if (!current_) {
        return localFailure(QStringLiteral("書き込み先がありません"));
    }
    if (!current_->flush()) {
        const QString reason = current_->errorString();
        abandon();
        return localFailure(reason);
    }
    // Start writing back now, so that the fsync of commit() finds little to do.
    ::sync_file_range(current_->handle(), 0, 0, SYNC_FILE_RANGE_WRITE);
    finished_.push_back({number, std::move(current_)});
    return std::nullopt;
}

Expected<QList<int>> MailFolderWriter::commit() {
    QList<int> committed;
    for (Finished& done : finished_) {
        if (::fsync(done.file->handle()) != 0) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            dropFinished();
            return localFailure(reason);
        }
    }
    for (Finished& done : finished_) {
        done.file->close();
        const QString temporary = done.file->fileName();
        bool renamed = false;
        for (int attempt = 0; attempt < 100 && !renamed; ++attempt) {
            const QString target = QDir(folder_).filePath(uniqueName());
            renamed = renameNoReplace(temporary, target);
            if (renamed) {
                stored_.append(target);
                committed.append(done.number);
            } else if (errno != EEXIST) {
                break;
            }
        }
        if (!renamed) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            dropFinished();
            return localFailure(reason);
        }
    }
    finished_.clear();
    return committed;
}

void MailFolderWriter::dropFinished() {
    for (Finished& done : finished_) {
        done.file->close();
        done.file->remove();  // no-op for files already renamed
    }
    finished_.clear();
}

void MailFolderWriter::abandon() {
    if (current_) {
        current_->close();
        current_->remove();
        current_.reset();
    }
}

Status MailFolderWriter::syncFolder() {
    const int fd = ::open(QFile::encodeName(folder_).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        return localFailure(QString::fromLocal8Bit(std::strerror(errno)));
    }
    const int result = ::fsync(fd);
    ::close(fd);
    if (result != 0) {
        return localFailure(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return std::nullopt;
}

void MailFolderWriter::removeStored() {
    dropFinished();
    for (const QString& path : stored_) {
        QFile::remove(path);
    }
    stored_.clear();
}

}  // namespace orvane::mail
