// How a sender and a long body are taken apart.
#include "mail_actions.h"

#include "test_support.h"

#include <gtest/gtest.h>

using namespace orvane::mailer;

TEST(SenderEntry, NameAndAddressAreTakenAsTheAddressBookStoresThem) {
    struct Row {
        const char* name;
        QString mailfrom;
        QString storedName;
        QString storedAddress;
    };
    const Row rows[] = {
        {"name and address", "Taro Yamada <taro@example.jp>", "Taro Yamada ", "taro@example.jp"},
        {"bare address", "hanako@example.jp", " ", "hanako@example.jp"},
        {"bare address with blanks", "  hanako@example.jp ", " ", "hanako@example.jp"},
        {"quoted name", "\"山田 太郎\" <yamada@example.jp>", "山田 太郎 ", "yamada@example.jp"},
        {"leading blanks kept", "  佐藤<sato@example.jp>", "  佐藤", "sato@example.jp"},
        {"address alone in brackets", "<only@example.jp>", " ", "only@example.jp"},
        {"blanks inside the brackets", "A < a@example.jp >", "A ", "a@example.jp"},
        {"'>' before the '<'", "a>b <c@example.jp>", "a>b ", "c@example.jp"},
        {"'<' without '>'", "broken <no-close@example.jp", " ", "broken <no-close@example.jp"},
        {"'>' alone", "x> y@example.jp", " ", "x> y@example.jp"},
        {"quote in the address", "O'Neil <o'neil@example.jp>", "O'Neil ", "o'neil@example.jp"},
        {"nothing", "", " ", ""},
        {"empty brackets", "Name <>", "Name ", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const SenderEntry entry = senderEntry(row.mailfrom);
        EXPECT_EQ(entry.name, row.storedName);
        EXPECT_EQ(entry.address, row.storedAddress);
    }
}

namespace {

std::vector<qsizetype> sizesOf(const QStringList& pieces) {
    std::vector<qsizetype> sizes;
    for (const QString& piece : pieces) {
        sizes.push_back(piece.size());
    }
    return sizes;
}

}  // namespace

// Pieces of at most 100 characters, cut only between whole characters.
TEST(LongText, IsSpokenInPiecesOfAHundredCharactersNeverEndingInsideACharacter) {
    const QString kana = QStringLiteral("あいうえおかきくけこ");
    const QString emoji = QStringLiteral("😀");            // a surrogate pair
    const QString voicedKa = QStringLiteral("か\u3099");  // か and a combining voicing mark
    struct Row {
        const char* name;
        QString text;
        std::vector<qsizetype> sizes;
    };
    const Row rows[] = {
        {"empty", "", {0}},
        {"short", "短い本文", {4}},
        {"exactly 100", kana.repeated(10), {100}},
        {"101", kana.repeated(10) + "x", {100, 1}},
        {"250", kana.repeated(25), {100, 100, 50}},
        {"exactly 300", kana.repeated(30), {100, 100, 100}},
        // The pair stands at 99..100: the cut moves back before it.
        {"surrogate pair across the cut",
         kana.repeated(9) + "あいうえおかきくけ" + emoji + "x",
         {99, 3}},
        {"surrogate pair before the cut",
         kana.repeated(9) + "あいうえおかきく" + emoji + "xy",
         {100, 2}},
        {"combining mark after the cut",
         kana.repeated(9) + "あいうえおかきくけ" + voicedKa + "x",
         {99, 3}},
        {"base with two marks",
         kana.repeated(9) + "あいうえおかきく" + voicedKa + "\u0301" + "x",
         {98, 4}},
        // Nothing to cut back to: the piece runs on to the end of the character.
        {"one long character", "a" + QString(150, QChar(0x0301)), {151}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QStringList pieces = longTextPieces(row.text);
        EXPECT_EQ(sizesOf(pieces), row.sizes);
        EXPECT_EQ(pieces.join(QString()), row.text);
    }
}
