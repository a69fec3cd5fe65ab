#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace orvane::mail {

// The header fields of a mail or of one of its parts, as written: raw bytes
// with folding, 8-bit bytes and NUL bytes kept, so that a decoder sees the
// whole value.
class HeaderBlock {
  public:
    HeaderBlock() = default;
    // `text` is the header up to (and possibly including) the empty line
    // that ends it; anything after that line is ignored.
    explicit HeaderBlock(QByteArray text);

    // The index just after the empty line that ends the header in `text`,
    // looking no earlier than `from`; -1 when `text` does not hold it yet.
    static qsizetype endOf(QByteArrayView text, qsizetype from = 0);

    // The raw value of the first field named `name` (any case), without the
    // colon; nothing when there is no such field.
    std::optional<QByteArray> value(QByteArrayView name) const;

    // Every field's raw value, in order.
    std::vector<QByteArrayView> values() const;

  private:
    struct Field {
        qsizetype nameStart, nameLength, valueStart, valueLength;
    };
    QByteArray text_;
    std::vector<Field> fields_;
};

}  // namespace orvane::mail
