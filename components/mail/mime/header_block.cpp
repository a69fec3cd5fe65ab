#include "header_block.h"

namespace orvane::mail {

qsizetype HeaderBlock::endOf(QByteArrayView text, qsizetype from) {
    // An empty header: the text starts with the empty line.
    if (from == 0) {
        if (text.startsWith("\n"))
            return 1;
        if (text.startsWith("\r\n"))
            return 2;
    }
    for (qsizetype i = text.indexOf('\n', std::max<qsizetype>(from, 0)); i >= 0;
         i = text.indexOf('\n', i + 1)) {
        if (i + 1 < text.size() && text[i + 1] == '\n')
            return i + 2;
        if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

HeaderBlock::HeaderBlock(QByteArray text) : text_(std::move(text)) {
    const qsizetype end = endOf(text_);
    if (end >= 0)
        text_.truncate(end);
    qsizetype lineStart = 0;
    while (lineStart < text_.size()) {
        qsizetype lineEnd = text_.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = text_.size();
        const QByteArrayView line = QByteArrayView(text_).sliced(lineStart, lineEnd - lineStart);
        if ((line.startsWith(' ') || line.startsWith('\t')) && !fields_.empty()) {
            Field& field = fields_.back();  // a folded line continues the field
            field.valueLength = lineEnd - field.valueStart;
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            fields_.push_back({lineStart, line.first(colon).trimmed().size(), lineStart + colon + 1,
                               lineEnd - lineStart - colon - 1});
        }
        lineStart = lineEnd + 1;
    }
}

std::optional<QByteArray> HeaderBlock::value(QByteArrayView name) const {
    for (const Field& field : fields_) {
        const QByteArrayView fieldName =
            QByteArrayView(text_).sliced(field.nameStart, field.nameLength);
        if (fieldName.compare(name, Qt::CaseInsensitive) == 0)
            return text_.sliced(field.valueStart, field.valueLength);
    }
    return std::nullopt;
}

std::vector<QByteArrayView> HeaderBlock::values() const {
    std::vector<QByteArrayView> all;
    for (const Field& field : fields_)
        all.push_back(QByteArrayView(text_).sliced(field.valueStart, field.valueLength));
    return all;
}

}  // namespace orvane::mail
