#include "settings_file.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>

#include <array>
#include <cerrno>

namespace orvane::mailcheck {
namespace {

constexpr int kFieldCount = 5;

QString decodeText(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        return text;
    }
    QStringDecoder shiftJis("Shift_JIS");
    if (shiftJis.isValid()) {
        text = shiftJis.decode(bytes);
        if (!shiftJis.hasError()) {
            return text;
        }
    }
    return QString::fromLocal8Bit(bytes);
}

// Fields as the file's reader has always taken them: a comma or a line end
// closes a field; a last line without its line end still counts.
QStringList splitFields(const QString& text) {
    QStringList fields;
    QString current;
    bool open = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u',' || c == u'\r' || c == u'\n') {
            fields << current;
            current.clear();
            open = false;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
                ++i;
            }
        } else {
            current += c;
            open = true;
        }
    }
    if (open) {
        fields << current;
    }
    return fields;
}

struct NamedValue {
    const char* caption;  // the caption of the box the value is typed into
    const QString* value;
};

}  // namespace

QByteArray encodeSettings(const CheckerSettings& settings) {
    QByteArray bytes;
    for (const QString* value : {&settings.pop, &settings.account, &settings.password,
                                 &settings.interval, &settings.character}) {
        bytes += value->toUtf8();
        bytes += "\r\n";
    }
    return bytes;
}

Expected<CheckerSettings> decodeSettings(const QByteArray& bytes) {
    const QStringList fields = splitFields(decodeText(bytes));
    if (fields.size() < kFieldCount) {
        return fail(FailureKind::BadInput,
                    QStringLiteral("設定ファイルの値が足りません（%1 個のうち %2 個）")
                        .arg(kFieldCount)
                        .arg(fields.size()));
    }
    return CheckerSettings{fields[0], fields[1], fields[2], fields[3], fields[4]};
}

Expected<CheckerSettings> readSettingsFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return fail(FailureKind::NotFound, QStringLiteral("設定ファイルがありません"));
    }
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        return fileFailure(QStringLiteral("設定ファイル"), QStringLiteral("を読めません"), errno);
    }
    return decodeSettings(file.readAll());
}

Expected<void> writeSettingsFile(const QString& path, const CheckerSettings& settings) {
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return fileFailure(QStringLiteral("設定ファイル"), QStringLiteral("に書き込めません"),
                           errno);
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Flushed here because commit() renames a cut file into place when the
    // final flush fails (a full disk or quota), and the old settings are lost.
    const QByteArray image = encodeSettings(settings);
    if (file.write(image) != image.size() || !file.flush()) {
        const int error = errno ? errno : ENOSPC;
        file.cancelWriting();
        file.commit();  // removes the temporary file
        return fileFailure(QStringLiteral("設定ファイル"), QStringLiteral("に書き込めません"),
                           error);
    }
    if (!file.commit()) {
        return fileFailure(QStringLiteral("設定ファイル"), QStringLiteral("に書き込めません"),
                           errno);
    }
    return success();
}

Expected<void> checkSettings(const CheckerSettings& settings) {
    const std::array<NamedValue, 5> values{{{"pop", &settings.pop},
                                            {"account", &settings.account},
                                            {"password", &settings.password},
                                            {"メール検査周期(分)", &settings.interval},
                                            {"キャラクタ", &settings.character}}};
    for (const NamedValue& named : values) {
        const QString caption = QString::fromUtf8(named.caption);
        if (named.value->contains(u',')) {
            return fail(FailureKind::BadInput,
                        QStringLiteral("%1 にカンマは使えません").arg(caption));
        }
        if (named.value->contains(u'\r') || named.value->contains(u'\n')) {
            return fail(FailureKind::BadInput,
                        QStringLiteral("%1 に改行は使えません").arg(caption));
        }
    }
    if (settings.pop.trimmed().isEmpty()) {
        return fail(FailureKind::BadInput, QStringLiteral("pop にメールサーバーを入れてください"));
    }
    if (settings.account.trimmed().isEmpty()) {
        return fail(FailureKind::BadInput, QStringLiteral("account にユーザー名を入れてください"));
    }
    if (auto limit = tickLimitFor(settings.interval); !limit) {
        return limit.failure();
    }
    return success();
}

QString plainInterval(const QString& typed) {
    return typed.normalized(QString::NormalizationForm_KC).trimmed();
}

Expected<double> tickLimitFor(const QString& interval) {
    static const QRegularExpression decimal(QStringLiteral("^(?:[0-9]+(?:\\.[0-9]*)?|\\.[0-9]+)$"));
    if (!decimal.match(interval).hasMatch()) {
        return fail(FailureKind::BadInput,
                    QStringLiteral("メール検査周期(分) には 0 以上の数を入れてください"));
    }
    return interval.toDouble() * 2;
}

}  // namespace orvane::mailcheck
