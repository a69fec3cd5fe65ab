#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace orvane::mail::test {

// Bytes from hex text such as "82 A0 87 40".
inline QByteArray hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

inline QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace orvane::mail::test
