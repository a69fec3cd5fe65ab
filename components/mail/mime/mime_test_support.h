#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <concepts>
#include <ostream>
#include <string>

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

// Table rows of parameterised tests are printed and named by their `name`;
// bring PrintTo into the rows' namespace with `using test::PrintTo;`.
template <typename Row>
requires std::convertible_to<decltype(Row::name), const char*>
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

struct RowName {
    template <typename Info>
    std::string operator()(const Info& info) const {
        return info.param.name;
    }
};

}  // namespace orvane::mail::test
