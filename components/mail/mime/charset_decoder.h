#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace orvane::mail {

// Turns bytes of mail text into Unicode, best effort, never failing.
//
// `label` is the charset the mail claims ("" when it claims none). Japanese
// labels are read with the Windows vendor tables, because that is what
// Windows senders write under them: any Shift_JIS alias as CP932, any
// ISO-2022-JP alias as CP50220 (NEC and IBM extensions, half-width
// katakana), EUC-JP as eucJP-ms. JIS 0x2141 (CP932 0x8160) is read as
// U+301C WAVE DASH, the character a Japanese sender types and sees as "〜";
// a full-width tilde sent in UTF-8 stays U+FF5E.
//
// A label that does not fit the bytes (invalid sequences, 8-bit text under
// an ASCII or ISO-2022-JP label, UTF-8 under a Latin label), a label iconv
// does not know and a missing label fall back to detection among UTF-8,
// ISO-2022-JP, CP932 and EUC-JP. Bytes that no candidate decodes become
// U+FFFD, never "?" and never dropped silently.
QString decodeText(QByteArrayView bytes, QByteArrayView label = {});

// The same, but only with the labelled charset: nothing when the bytes are
// not valid in it or the label is unknown. For tests and for callers that
// weigh candidates themselves.
std::optional<QString> decodeStrictly(QByteArrayView bytes, QByteArrayView label);

}  // namespace orvane::mail
