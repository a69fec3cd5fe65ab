#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace orvane::news {

// The charset a fetched page names for itself, in this order: the charset
// parameter of the HTTP Content-Type, the encoding of an XML declaration, the
// charset of an HTML <meta> among the first few kilobytes. Empty when the page
// names none.
QByteArray declaredCharset(QByteArrayView contentType, QByteArrayView body);

// The page's bytes as text. A byte-order mark wins over `label`. Shift_JIS
// labels are read as the Windows table (CP932) and EUC-JP labels as eucJP-ms,
// because Japanese sites write the vendor characters under those names; other
// labels go to iconv as named. Without a usable label the bytes are taken as
// UTF-8, EUC-JP or Shift_JIS, the first that reads them without error. Bytes
// that do not decode become U+FFFD; an incomplete character at the very end
// (a page cut off) is dropped.
QString decodePage(QByteArrayView bytes, QByteArrayView label);

}  // namespace orvane::news
