#include "pop3_reply_reader.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using Kind = Pop3ReplyReader::StatusLine::Kind;

TEST(Pop3ReplyReader, StatusLinesOfEveryKind) {
    struct Row {
        const char* name;
        QByteArray bytes;
        Kind kind;
        QByteArray text;
    };
    const Row rows[] = {
        {"ok", "+OK 2 320\r\n", Kind::Ok, "2 320"},
        {"ok without text", "+OK\r\n", Kind::Ok, ""},
        {"error", "-ERR [AUTH] Authentication failed.\r\n", Kind::Err,
         "[AUTH] Authentication failed."},
        {"continuation", "+ \r\n", Kind::Continuation, ""},
        {"bare LF", "+OK ready\n", Kind::Ok, "ready"},
        {"garbage", "HELLO\r\n", Kind::Malformed, "HELLO"},
        {"overlong, no end in sight", QByteArray(Pop3ReplyReader::kMaxStatusLine + 1, 'x'),
         Kind::Malformed, "overlong status line"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Pop3ReplyReader reader;
        reader.append(row.bytes);
        const auto status = reader.takeStatusLine();
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(status->kind, row.kind);
        EXPECT_EQ(status->text, row.text);
        EXPECT_EQ(reader.pending(), 0);
    }
}

// A reply is taken only once its end has arrived, and what follows stays.
TEST(Pop3ReplyReader, RepliesEndExactlyAtTheirTerminators) {
    Pop3ReplyReader reader;
    QByteArray body;
    reader.append("+OK hal");
    EXPECT_FALSE(reader.takeStatusLine().has_value());
    reader.append("f\r\nx\r\n.\r\n+OK deleted\r\n");
    EXPECT_EQ(reader.takeStatusLine()->text, "half");
    EXPECT_TRUE(reader.takeMultiLineData(body));
    EXPECT_EQ(body, "x\r\n");
    EXPECT_EQ(reader.takeStatusLine()->text, "deleted");
}

// Feeds `wire` in pieces of `step` bytes and collects one multi-line body.
QByteArray readBody(const QByteArray& wire, qsizetype step) {
    Pop3ReplyReader reader;
    QByteArray body;
    bool done = false;
    for (qsizetype i = 0; i < wire.size() && !done; i += step) {
        reader.append(wire.mid(i, step));
        done = reader.takeMultiLineData(body);
    }
    EXPECT_TRUE(done);
    return body;
}

TEST(Pop3ReplyReader, MultiLineBodyInEverySplit) {
    struct Row {
        const char* name;
        QByteArray wire;
        QByteArray body;
    };
    const Row rows[] = {
        {"plain lines", "Subject: a\r\n\r\nbody\r\n.\r\n", "Subject: a\r\n\r\nbody\r\n"},
        {"stuffed dots", "..hidden\r\n...\r\nend.\r\n.\r\n", ".hidden\r\n..\r\nend.\r\n"},
        {"dot inside a line", "a.b\r\n.\r\n", "a.b\r\n"},
        {"bare LF endings", "one\n..two\n.\n", "one\n.two\n"},
        {"empty body", ".\r\n", ""},
        {"dot then CR inside line", ".\rx\r\n.\r\n", "\rx\r\n"},
    };
    for (const Row& row : rows) {
        for (qsizetype step : {1, 2, 3, 7, 1000}) {
            SCOPED_TRACE(std::string(row.name) + " step " + std::to_string(step));
            EXPECT_EQ(readBody(row.wire, step), row.body);
        }
    }
}

TEST(Pop3ReplyReader, LongLineWithoutBreakIsPassedOnAsItArrives) {
    Pop3ReplyReader reader;
    QByteArray body;
    const QByteArray piece(100000, 'a');
    reader.append(piece);
    EXPECT_FALSE(reader.takeMultiLineData(body));
    EXPECT_EQ(body.size(), piece.size());
    EXPECT_EQ(reader.pending(), 0);
    reader.append(".\r\n.\r\n");  // mid-line dot, then the terminator
    EXPECT_TRUE(reader.takeMultiLineData(body));
    EXPECT_EQ(body, piece + ".\r\n");
}

}  // namespace
}  // namespace orvane::mail
