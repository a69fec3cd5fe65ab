#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <iconv.h>

namespace orvane::news::testing {

// `text` in `charset` (an iconv name: "CP932", "EUC-JP-MS"); empty when it
// does not convert.
inline QByteArray encoded(const QString& text, const char* charset) {
    QByteArray utf8 = text.toUtf8();
    QByteArray out(utf8.size() * 4 + 16, Qt::Uninitialized);
    char* in = utf8.data();
    char* to = out.data();
    size_t inLeft = static_cast<size_t>(utf8.size());
    size_t toLeft = static_cast<size_t>(out.size());
    const iconv_t cd = iconv_open(charset, "UTF-8");
    const bool opened = cd != reinterpret_cast<iconv_t>(-1);
    const bool done = opened && iconv(cd, &in, &inLeft, &to, &toLeft) != static_cast<size_t>(-1);
    if (opened) {
        iconv_close(cd);
    }
    return done ? out.first(to - out.data()) : QByteArray();
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
