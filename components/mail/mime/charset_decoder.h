#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

namespace orvane::mail {

// Hands the pieces of some bytes, in order from the first, to a visitor until
// the bytes end or the visitor returns false; false when the bytes could not
// be read to the end. Calling it again reads the same bytes anew, so a
// decoder can look at them more than once without holding them all in
// memory.
using ChunkVisitor = std::function<bool(QByteArrayView)>;
using ChunkedBytes = std::function<bool(const ChunkVisitor&)>;

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

// The same for bytes read piece by piece: the text goes to `emit` piece by
// piece too. The bytes are read two or three times (to choose the charset,
// then to decode); memory stays at one piece whatever their size.
void decodeText(const ChunkedBytes& bytes, QByteArrayView label,
                const std::function<void(QStringView)>& emit);

// The same, but only with the labelled charset: nothing when the bytes are
// not valid in it or the label is unknown. For tests and for callers that
// weigh candidates themselves.
std::optional<QString> decodeStrictly(QByteArrayView bytes, QByteArrayView label);

// Whether `label` names a charset that gives meaning to raw 8-bit bytes (so
// not ASCII, UTF-8, ISO-2022-JP or no charset at all): one worth trying on the
// mail's raw 8-bit header bytes.
bool describesEightBitBytes(QByteArrayView label);

}  // namespace orvane::mail
