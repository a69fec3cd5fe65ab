#include "seen_uid_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace orvane::mail {

SeenUidStore::SeenUidStore(const QString& folder, const QString& server, const QString& user) {
    const QByteArray key = QCryptographicHash::hash(
        server.trimmed().toLower().toUtf8() + '\n' + user.toUtf8(), QCryptographicHash::Sha1);
    path_ = QDir(folder).filePath(QStringLiteral(".seen-uidl-") +
                                  QString::fromLatin1(key.toHex().left(16)));
}

QSet<QByteArray> SeenUidStore::load() const {
    QSet<QByteArray> uids;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        return uids;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QByteArray uid = line.trimmed();
        if (!uid.isEmpty()) {
            uids.insert(uid);
        }
    }
    return uids;
}

Status SeenUidStore::save(const QSet<QByteArray>& uids) const {
    QList<QByteArray> sorted(uids.begin(), uids.end());
    std::sort(sorted.begin(), sorted.end());
    QSaveFile file(path_);
    if (file.open(QIODevice::WriteOnly)) {
        for (const QByteArray& uid : sorted) {
            file.write(uid + '\n');
        }
        if (file.commit()) {
            return std::nullopt;
        }
    }
    return Failure{
        FailureKind::Disk,
        QStringLiteral("受信済みメールの記録を保存できません（%1）").arg(file.errorString())};
}

}  // namespace orvane::mail
