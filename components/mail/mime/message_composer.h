#pragma once

#include "expected.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace orvane::mail {

// One mail to send. `from` and `to` are addresses, optionally in the form
// "display name <address>"; `attachmentPath` is "" or the full path of one
// file (an .mp3 goes out as audio/mpeg under its file name).
struct OutgoingMessage {
    QString from;
    QString to;
    QString subject;
    QString body;
    QString attachmentPath;
    QDateTime date;     // invalid: now
    QString messageId;  // empty: a new unique id at the sender's domain
    QString boundary;   // empty: a random multipart boundary (tests pin it)
};

// The whole message in wire form with CRLF line endings: Date, Message-ID,
// MIME-Version, From, To, Subject (RFC 2047), a UTF-8 text body and the
// attachment (file name per RFC 2231 when it is not plain printable ASCII,
// so no character of it can end a header line). `to` is taken as given: the
// caller has checked it. A failure (the attachment cannot be read) says why
// in Japanese.
Expected<QByteArray> composeMessage(const OutgoingMessage& message);

}  // namespace orvane::mail
