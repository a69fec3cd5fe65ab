#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace orvane::mail {

// Decodes an unstructured header value as it stands in the mail (folded,
// possibly with raw 8-bit bytes). RFC 2047 encoded words are decoded in any
// charset; adjacent words of one charset are joined as bytes before the
// charset is applied, so a character split between two words survives, and
// a base64 word cut short of its padding is carried into the next one. Raw
// 8-bit text is read as `fallbackCharset` (the charset of the mail's text)
// or detected. The result is one line: folding removed, controls dropped.
QString decodeHeaderText(QByteArrayView raw, QByteArrayView fallbackCharset = {});

struct Mailbox {
    QString name;     // decoded display name, "" when there is none
    QString address;  // the bare address, as written
};

// The first mailbox of an address header ("name <addr>", "addr (name)" or a
// bare address); nothing when the value holds no address at all.
std::optional<Mailbox> firstMailbox(QByteArrayView raw, QByteArrayView fallbackCharset = {});

// The value of parameter `name` in a structured header such as
// Content-Disposition or Content-Type: RFC 2231 (charset, continuations,
// percent-encoding), RFC 2047 words inside a quoted value, and raw 8-bit
// values read as `fallbackCharset` or detected. Nothing when absent.
std::optional<QString> headerParameter(QByteArrayView raw, QByteArrayView name,
                                       QByteArrayView fallbackCharset = {});

// The charsets named by the RFC 2047 encoded words in `raw`, in order, each
// once, lower case.
QList<QByteArray> encodedWordCharsets(QByteArrayView raw);

}  // namespace orvane::mail
