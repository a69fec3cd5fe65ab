#include "received_fields.h"

namespace orvane::mail {
namespace {

// The text from `offset` characters after the first `marker` (exact case);
// from `fallbackStart` when the marker does not occur.
QString textAfter(const QString& element, const QString& marker, qsizetype offset,
                  qsizetype fallbackStart) {
    const qsizetype at = element.indexOf(marker);
    return element.mid(at < 0 ? fallbackStart : at + offset);
}

}  // namespace

ReceivedFields parseReadMailElements(const QStringList& elements) {
    const auto element = [&](qsizetype i) { return i < elements.size() ? elements[i] : QString(); };
    ReceivedFields fields;
    fields.subject = textAfter(element(0), QStringLiteral("subject"), 9, 8);
    fields.from = textAfter(element(1), QStringLiteral("From:"), 5, 0);
    fields.date = element(2);
    fields.body = textAfter(element(4), QStringLiteral("Body:"), 5, 0);
    if (elements.size() > 5)
        fields.attach = textAfter(element(5), QStringLiteral("File: "), 6, 6);
    return fields;
}

}  // namespace orvane::mail
