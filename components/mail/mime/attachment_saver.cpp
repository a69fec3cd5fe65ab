#include "attachment_saver.h"

#include "received_mail.h"

#include "safe_file_name.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orvane::mail {
namespace {

constexpr QByteArrayView kIndexMagic = "orvane attachments 1";
constexpr qint64 kMaxIndexSize = 4 * 1024 * 1024;

struct SavedFile {
    QString name;  // inside the mail folder
    qint64 size = 0;
};

// What identifies one version of the mail file.
QByteArray identityOf(const QString& mailFile) {
    struct stat info {};
    if (::stat(QFile::encodeName(mailFile).constData(), &info) != 0)
        return {};
    return QByteArray::number(static_cast<qulonglong>(info.st_dev)) + ':' +
           QByteArray::number(static_cast<qulonglong>(info.st_ino)) + ':' +
           QByteArray::number(static_cast<qlonglong>(info.st_size)) + ':' +
           QByteArray::number(static_cast<qlonglong>(info.st_mtim.tv_sec)) + '.' +
           QByteArray::number(static_cast<qlonglong>(info.st_mtim.tv_nsec));
}

bool isRegularFile(const QString& path, qint64* size = nullptr) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    if (size)
        *size = info.st_size;
    return true;
}

// The record of the attachments saved for one mail file.
class AttachmentIndex {
  public:
    AttachmentIndex(const QString& mailDir, const QString& mailFile)
        : dir_(mailDir),
          path_(attachmentRecordPath(mailDir, mailFile)),
          identity_(identityOf(mailFile)) {
        load();
    }

    // The file saved before for attachment `index`, when it is still there.
    std::optional<QString> reusable(size_t index) const {
        if (index >= saved_.size())
            return std::nullopt;
        const QString path = dir_.absoluteFilePath(saved_[index].name);
        qint64 size = -1;
        if (!isRegularFile(path, &size) || size != saved_[index].size)
            return std::nullopt;
        return path;
    }

    // Records `files` as the attachments of this version of the mail file.
    // Best effort: without a record, the next read saves the files again.
    void store(const std::vector<SavedFile>& files) const {
        if (!ours_ || identity_.isEmpty())
            return;
        QByteArray text = kIndexMagic.toByteArray() + '\n' + identity_ + '\n';
        for (const SavedFile& file : files)
            text += QByteArray::number(file.size) + ' ' + file.name.toUtf8() + '\n';
        auto created =
            createUniqueFile(dir_.path(), QFileInfo(path_).fileName() + QStringLiteral(".new"));
        if (!created)
            return;
        const bool written = ::write(created->fd.get(), text.constData(),
                                     static_cast<size_t>(text.size())) == text.size();
        if (!written || ::close(created->fd.release()) != 0 ||
            std::rename(QFile::encodeName(created->path).constData(),
                        QFile::encodeName(path_).constData()) != 0)
            QFile::remove(created->path);
    }

  private:
    void load() {
        qint64 size = 0;
        if (!isRegularFile(path_, &size)) {
            ours_ = !QFileInfo(path_).exists() && !QFileInfo(path_).isSymLink();
            return;
        }
        QFile file(path_);
        if (size > kMaxIndexSize || !file.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = file.readAll().split('\n');
        ours_ = !lines.isEmpty() && lines.first() == kIndexMagic;
        if (!ours_ || lines.size() < 2 || lines[1] != identity_ || identity_.isEmpty())
            return;
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const qsizetype blank = lines[i].indexOf(' ');
            if (blank <= 0)
                continue;
            bool numeric = false;
            SavedFile entry{QString::fromUtf8(lines[i].mid(blank + 1)),
                            lines[i].left(blank).toLongLong(&numeric)};
            if (!numeric || entry.name.isEmpty() || entry.name.contains(u'/') ||
                entry.name.startsWith(u'.'))
                return;  // not a record this code wrote
            saved_.push_back(entry);
        }
    }

    QDir dir_;
    QString path_;
    QByteArray identity_;
    bool ours_ = false;  // absent, or a record this code wrote
    std::vector<SavedFile> saved_;
};

bool writeAll(int fd, QByteArrayView bytes, int* error) {
    while (!bytes.isEmpty()) {
        const ssize_t written = ::write(fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            *error = errno;
            return false;
        }
        bytes = bytes.sliced(written);
    }
    return true;
}

Expected<SavedFile> saveOne(const MailPart& part, const QString& mailDir) {
    const QString name = safeFileName(part.fileName, extensionFor(part.type));
    auto created = createUniqueFile(mailDir, name);
    if (!created)
        return Failure{created.failure().kind,
                       QStringLiteral("添付ファイル") + created.failure().reason};
    const QString savedName = QFileInfo(created->path).fileName();
    int error = 0;
    qint64 size = 0;
    const bool read = part.content([&](QByteArrayView piece) {
        size += piece.size();
        return writeAll(created->fd.get(), piece, &error);
    });
    if (error == 0 && ::close(created->fd.release()) != 0)
        error = errno;
    if (error != 0 || !read) {
        QFile::remove(created->path);
        if (error != 0)
            return Failure{FailureKind::Disk,
                           QStringLiteral("添付ファイル「%1」を保存できません：%2")
                               .arg(savedName, errorNumberText(error))};
        return Failure{
            FailureKind::Disk,
            QStringLiteral("添付ファイル「%1」をメールファイルから読み出せません").arg(savedName)};
    }
    return SavedFile{savedName, size};
}

}  // namespace

QString extensionFor(const QByteArray& type) {
    static const std::pair<const char*, const char*> known[] = {
        {"audio/mpeg", ".mp3"},      {"audio/mp3", ".mp3"},   {"audio/x-mpeg", ".mp3"},
        {"audio/wav", ".wav"},       {"audio/x-wav", ".wav"}, {"image/jpeg", ".jpg"},
        {"image/png", ".png"},       {"image/gif", ".gif"},   {"application/pdf", ".pdf"},
        {"text/plain", ".txt"},      {"text/html", ".html"},  {"message/rfc822", ".eml"},
        {"application/zip", ".zip"},
    };
    for (const auto& [mime, extension] : known)
        if (type == mime)
            return QString::fromLatin1(extension);
    return QStringLiteral(".bin");
}

Expected<QStringList> saveAttachments(const std::vector<MailPart>& attachments,
                                      const QString& mailDir, const QString& mailFile) {
    if (attachments.empty())
        return QStringList();
    if (!QFileInfo(mailDir).isDir())
        return Failure{
            FailureKind::NotFound,
            QStringLiteral("添付ファイルを保存するメールフォルダー %1 がありません").arg(mailDir)};
    const AttachmentIndex index(mailDir, mailFile);
    std::vector<SavedFile> files;
    QStringList paths;
    QStringList createdNow;
    for (size_t i = 0; i < attachments.size(); ++i) {
        if (const auto earlier = index.reusable(i)) {
            paths << *earlier;
            files.push_back({QFileInfo(*earlier).fileName(), QFileInfo(*earlier).size()});
            continue;
        }
        auto saved = saveOne(attachments[i], mailDir);
        if (!saved) {
            for (const QString& path : createdNow)  // no half-saved mail left behind
                QFile::remove(path);
            return saved.failure();
        }
        const QString path = QDir(mailDir).absoluteFilePath(saved->name);
        paths << path;
        createdNow << path;
        files.push_back(*saved);
    }
    if (!createdNow.isEmpty())
        index.store(files);
    return paths;
}

}  // namespace orvane::mail
