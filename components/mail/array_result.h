#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace orvane::mail {

// The older answer shape of the receiver and the reader: an array of texts, or
// "not an array" with the reason. MailClient turns it into Expected.
struct ArrayResult {
    std::optional<QStringList> array;
    QString error;

    bool isArray() const { return array.has_value(); }
    static ArrayResult ok(QStringList elements) { return {std::move(elements), {}}; }
    static ArrayResult failed(QString reason) { return {std::nullopt, std::move(reason)}; }
};

}  // namespace orvane::mail
