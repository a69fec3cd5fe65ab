#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

namespace orvane::mail {

// Splits the bytes a POP3 server sends into replies (RFC 1939). It never
// touches a socket: the session feeds it what arrived and asks for the next
// piece it expects, so it can be tested on bytes alone. Lines may end in CRLF
// or a bare LF.
class Pop3ReplyReader {
  public:
    struct StatusLine {
        enum class Kind { Ok, Err, Continuation, Malformed };
        Kind kind = Kind::Malformed;
        QByteArray text;  // after "+OK ", "-ERR " or "+ ", without the line ending

        bool ok() const { return kind == Kind::Ok; }
    };

    // Longest status line accepted before the reply counts as malformed.
    static constexpr qsizetype kMaxStatusLine = 8192;

    void append(QByteArrayView bytes);

    // The next status line once it has arrived whole, else nullopt (also
    // a Malformed line when a status line grows beyond kMaxStatusLine).
    std::optional<StatusLine> takeStatusLine();

    // Appends to `out` the data of the current multi-line reply that has
    // arrived, with the byte-stuffing undone and the line endings as sent.
    // Returns true when the terminating "." line has been consumed; the next
    // multi-line reply then starts at a line start.
    bool takeMultiLineData(QByteArray& out);

    // Bytes received and not yet taken.
    qsizetype pending() const { return buffer_.size() - pos_; }

  private:
    void compact();

    QByteArray buffer_;
    qsizetype pos_ = 0;
    bool atLineStart_ = true;
};

}  // namespace orvane::mail
