#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <iconv.h>

namespace orvane::news::testing {

// `text` in `charset` (an iconv name: "CP932", "EUC-JP-MS", "UTF-8").
inline QByteArray encoded(const QString& text, const char* charset) {
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return {};
    }
    QByteArray out(utf8.size() * 4 + 16, Qt::Uninitialized);
    char* in = const_cast<char*>(utf8.constData());
    size_t inLeft = static_cast<size_t>(utf8.size());
    char* to = out.data();
    size_t toLeft = static_cast<size_t>(out.size());
    const size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        return {};
    }
    out.truncate(out.size() - static_cast<qsizetype>(toLeft));
    return out;
}

// Writes a page the test server sends with `contentType`.
inline bool writePage(const QString& folder, const QString& name, const QByteArray& bytes,
                      const QByteArray& contentType) {
    QFile page(QDir(folder).filePath(name));
    QFile type(QDir(folder).filePath(name + QStringLiteral(".type")));
    return page.open(QIODevice::WriteOnly) && page.write(bytes) == bytes.size() &&
           type.open(QIODevice::WriteOnly) && type.write(contentType) == contentType.size();
}

}  // namespace orvane::news::testing
