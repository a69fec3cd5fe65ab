#include "kana_reader.h"

#include "qstring_printer.h"

#include <gtest/gtest.h>

using orvane::speech::KanaReader;

namespace {

std::unique_ptr<KanaReader> makeReader() {
    auto made = KanaReader::create();
    if (!made) {
        ADD_FAILURE() << made.failure().reason.toStdString();
        return nullptr;
    }
    return std::move(made).value();
}

}  // namespace

TEST(KanaReader, ReadsKanjiKatakanaAndDigits) {
    auto reader = makeReader();
    ASSERT_TRUE(reader);
    struct Row {
        const char* name;
        QString in;
        QString kana;
    };
    const Row rows[] = {
        {"mail count", "受信フォルダーのメール数は3", "じゅしんふぉるだーのめーるすーわさん"},
        {"particle he", "東京へ行く", "とーきょーえいく"},
        {"latin letters by name", "Re:", "あーるいー"},
        {"number with counter", "120件", "ひゃくにじゅうけん"},
        {"sentence pause", "はい。いいえ", "はい。いーえ"},
        {"address signs", "a@b", "えーあっとびー"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(reader->toKana(row.in), row.kana);
    }
}

TEST(KanaReader, NumbersReadAsJapanese) {
    struct Row {
        const char* digits;
        const char* kana;
    };
    const Row rows[] = {{"0", "ぜろ"},          {"3", "さん"},
                        {"10", "じゅう"},       {"15", "じゅうご"},
                        {"300", "さんびゃく"},  {"1000", "せん"},
                        {"3000", "さんぜん"},   {"8600", "はっせんろっぴゃく"},
                        {"10000", "いちまん"},  {"120000005", "いちおくにせんまんご"},
                        {"007", "ぜろぜろなな"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.digits);
        EXPECT_EQ(KanaReader::numberToKana(QString::fromLatin1(row.digits)),
                  QString::fromUtf8(row.kana));
    }
}
