#include "pop3_reply_reader.h"

#include <cstring>

namespace orvane::mail {

namespace {

QByteArray chompLine(const char* begin, qsizetype length) {
    if (length > 0 && begin[length - 1] == '\n') {
        --length;
    }
    if (length > 0 && begin[length - 1] == '\r') {
        --length;
    }
    return QByteArray(begin, length);
}

}  // namespace

void Pop3ReplyReader::append(QByteArrayView bytes) {
    compact();
    buffer_.append(bytes.data(), bytes.size());
}

void Pop3ReplyReader::compact() {
    if (pos_ == buffer_.size()) {
        buffer_.clear();
        pos_ = 0;
    } else if (pos_ > 65536 && pos_ > buffer_.size() / 2) {
        buffer_.remove(0, pos_);
        pos_ = 0;
    }
}

std::optional<Pop3ReplyReader::StatusLine> Pop3ReplyReader::takeStatusLine() {
    const char* begin = buffer_.constData() + pos_;
    const qsizetype available = buffer_.size() - pos_;
    const void* newline = std::memchr(begin, '\n', static_cast<size_t>(available));
    if (newline == nullptr) {
        if (available > kMaxStatusLine) {
            pos_ = buffer_.size();
            return StatusLine{StatusLine::Kind::Malformed, "overlong status line"};
        }
        return std::nullopt;
    }
    const qsizetype length = static_cast<const char*>(newline) - begin + 1;
    const QByteArray line = chompLine(begin, length);
    pos_ += length;
    atLineStart_ = true;

    StatusLine status;
    auto rest = [&line](qsizetype skip) { return line.mid(skip).trimmed(); };
    if (line.startsWith("+OK")) {
        status = {StatusLine::Kind::Ok, rest(3)};
    } else if (line.startsWith("-ERR")) {
        status = {StatusLine::Kind::Err, rest(4)};
    } else if (line.startsWith('+')) {
        status = {StatusLine::Kind::Continuation, rest(1)};
    } else {
        status = {StatusLine::Kind::Malformed, line};
    }
    return status;
}

bool Pop3ReplyReader::takeMultiLineData(QByteArray& out) {
    const char* data = buffer_.constData();
    const qsizetype end = buffer_.size();
    qsizetype emitFrom = pos_;
    qsizetype cursor = pos_;

    // Copies [emitFrom, upTo) to out.
    auto flush = [&](qsizetype upTo) {
        if (upTo > emitFrom) {
            out.append(data + emitFrom, upTo - emitFrom);
        }
    };

    while (cursor < end) {
        if (atLineStart_ && data[cursor] == '.') {
            // Need to see what follows the dot: the terminator ".\r\n" / ".\n",
            // or a stuffed dot to drop.
            if (cursor + 1 >= end) {
                break;
            }
            const char next = data[cursor + 1];
            if (next == '\n' || (next == '\r' && cursor + 2 < end && data[cursor + 2] == '\n')) {
                flush(cursor);
                pos_ = cursor + (next == '\n' ? 2 : 3);
                atLineStart_ = true;
                compact();
                return true;
            }
            if (next == '\r' && cursor + 2 >= end) {
                break;
            }
            flush(cursor);
            emitFrom = cursor + 1;  // drop the stuffed dot
        }
        const void* newline = std::memchr(data + cursor, '\n', static_cast<size_t>(end - cursor));
        if (newline == nullptr) {
            cursor = end;
            atLineStart_ = false;
            break;
        }
        cursor = static_cast<const char*>(newline) - data + 1;
        atLineStart_ = true;
    }
    flush(cursor);
    pos_ = cursor;
    compact();
    return false;
}

}  // namespace orvane::mail
