#include "text_normalizer.h"

#include "qstring_printer.h"

#include <gtest/gtest.h>

using orvane::speech::normalizeForSpeech;
using orvane::speech::splitForSynthesis;

TEST(NormalizeForSpeech, LookAlikesReadAlike) {
    struct Row {
        const char* name;
        QString a;
        QString b;
    };
    const Row rows[] = {
        {"wave dash and full-width tilde", "10〜20件", "10～20件"},
        {"tilde and wave dash", "10~20件", "10〜20件"},
        {"full-width and half-width letters", "ＲＥ：ｈｅｌｌｏ", "RE:hello"},
        {"full-width and half-width digits", "メール数は１２３", "メール数は123"},
        {"half-width katakana", "ﾒｰﾙ", "メール"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(normalizeForSpeech(row.a), normalizeForSpeech(row.b));
    }
}

TEST(NormalizeForSpeech, MakesEveryTextReadable) {
    struct Row {
        const char* name;
        QString in;
        QString out;
    };
    const Row rows[] = {
        {"range between digits", "10〜20", "10から20"},
        {"lengthened kana", "よろしく〜", "よろしくー"},
        {"note sign of unread subjects dropped", "♪　件名", "件名"},
        {"emoji dropped", "了解😀です", "了解 です"},
        {"line breaks pause", "一行目\n二行目\r\n", "一行目、二行目"},
        {"signs only", "♪☆", ""},
        {"blank", " \t\n", ""},
        {"reply prefix kept", "Re: 会議", "Re: 会議"},
        {"address kept", "taro@example.jp", "taro@example.jp"},
        {"thousands separators", "1,234,567円と1,5", "1234567円と1,5"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(normalizeForSpeech(row.in), row.out);
    }
}

TEST(SplitForSynthesis, CutsAtSentencesAndKeepsEveryCharacter) {
    const QString text = QStringLiteral("一文目です。二文目！") + QString(150, u'あ');
    const QStringList pieces = splitForSynthesis(text, 60, 120);
    ASSERT_EQ(pieces.size(), 4);
    EXPECT_EQ(pieces[0], QStringLiteral("一文目です。"));
    EXPECT_EQ(pieces[1], QStringLiteral("二文目！"));
    EXPECT_EQ(pieces[2].size(), 120);
    EXPECT_EQ(pieces.join(QString()), text);
}
