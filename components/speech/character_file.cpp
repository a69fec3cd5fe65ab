#include "character_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvane::speech {
namespace {

Failure unreadable(const QString& path, const QString& detail) {
    return fail(FailureKind::BadInput,
                QStringLiteral("キャラクターファイル %1 を読み込めません（%2）")
                    .arg(QFileInfo(path).fileName(), detail));
}

}  // namespace

Expected<CharacterProfile> readCharacterFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return unreadable(path, file.errorString());
    }
    // A character file is a few lines; anything large is not one of ours.
    const QByteArray bytes = file.read(64 * 1024);
    if (bytes.contains('\0')) {
        return unreadable(path, QStringLiteral("文字のファイルではありません"));
    }
    const QDir folder = QFileInfo(path).absoluteDir();
    CharacterProfile profile;
    for (const QString& raw : QString::fromUtf8(bytes).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            return unreadable(path, QStringLiteral("「%1」は設定の行ではありません").arg(line));
        }
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        auto number = [&](double low, double high) -> std::optional<double> {
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (!ok || v < low || v > high) {
                return std::nullopt;
            }
            return v;
        };
        if (key == u"name") {
            profile.name = value;
        } else if (key == u"picture") {
            profile.picturePath = value.isEmpty() ? QString() : folder.absoluteFilePath(value);
        } else if (key == u"voice") {
            profile.voice.voicePath = value.isEmpty() ? QString() : folder.absoluteFilePath(value);
        } else if (key == u"speed" || key == u"pitch" || key == u"volume") {
            const auto v = key == u"speed"   ? number(0.5, 2.0)
                           : key == u"pitch" ? number(-12, 12)
                                             : number(0, 1);
            if (!v) {
                return unreadable(path, QStringLiteral("%1 の値 %2 が範囲外です").arg(key, value));
            }
            (key == u"speed"   ? profile.voice.speed
             : key == u"pitch" ? profile.voice.pitch
                               : profile.voice.volume) = *v;
        }
    }
    if (profile.name.isEmpty()) {
        return unreadable(path, QStringLiteral("name がありません"));
    }
    return profile;
}

QString findCharacterFile(const QStringList& dirs, const QString& fileName) {
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.contains(u'\\')) {
        return {};
    }
    for (const QString& dir : dirs) {
        const QDir d(dir);
        const QStringList entries = d.entryList(QDir::Files | QDir::Readable | QDir::Hidden);
        for (const QString& entry : entries) {
            if (entry.compare(fileName, Qt::CaseInsensitive) == 0) {
                return d.absoluteFilePath(entry);
            }
        }
    }
    return {};
}

}  // namespace orvane::speech
