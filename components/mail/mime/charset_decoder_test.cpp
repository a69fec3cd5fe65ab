#include "charset_decoder.h"
#include "mime_test_support.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::hex;
using test::PrintTo;
using test::utf8;

struct CharsetRow {
    const char* name;
    QByteArray bytes;
    const char* label;
    const char* expected;  // UTF-8
};

class CharsetDecoding : public testing::TestWithParam<CharsetRow> {};

TEST_P(CharsetDecoding, GivesWhatTheSenderWrote) {
    const CharsetRow& row = GetParam();
    EXPECT_EQ(decodeText(row.bytes, row.label).toStdString(), std::string(row.expected));
}

// The same bytes handed over in pieces of every small size give the same
// text: no character is split and no shift state is lost between pieces.
TEST_P(CharsetDecoding, PiecesGiveTheSameTextAsTheWhole) {
    const CharsetRow& row = GetParam();
    for (qsizetype pieceSize : {1, 2, 3, 5}) {
        const ChunkedBytes pieces = [&](const ChunkVisitor& visit) {
            for (qsizetype at = 0; at < row.bytes.size(); at += pieceSize)
                if (!visit(QByteArrayView(row.bytes).sliced(
                        at, std::min(pieceSize, row.bytes.size() - at))))
                    break;
            return true;
        };
        QString text;
        decodeText(pieces, row.label, [&](QStringView piece) { text += piece; });
        EXPECT_EQ(text.toStdString(), std::string(row.expected)) << "pieces of " << pieceSize;
    }
}

// ①=JIS 2D21 / CP932 8740; 纊=CP932 ED40 (NEC-selected IBM extension,
// JIS row 89 in CP50220); 〜=JIS 2141 / CP932 8160.
INSTANTIATE_TEST_SUITE_P(
    Rows, CharsetDecoding,
    testing::Values(
        CharsetRow{"utf8", hex("e697a5e69cace8aa9e"), "UTF-8", "日本語"},
        CharsetRow{"cp932_text_labelled_shift_jis", hex("87 40 ED 40 81 60 93 FA"), "Shift_JIS",
                   "①纊〜日"},
        CharsetRow{"vendor_alias_x_sjis", hex("82 A8 92 6D 82 E7 82 B9"), "x-sjis", "お知らせ"},
        CharsetRow{"vendor_alias_windows_31j", hex("87 40"), "Windows-31J", "①"},
        CharsetRow{"iso2022jp_circled_digits_and_wave_dash", QByteArray("\x1b$B-!-\"!A\x1b(B"),
                   "ISO-2022-JP", "①②〜"},
        CharsetRow{"iso2022jp_ibm_row_89", QByteArray("\x1b$By!\x1b(B"), "ISO-2022-JP", "纊"},
        CharsetRow{"iso2022jp_halfwidth_katakana_escape", QByteArray("\x1b(I123\x1b(B"),
                   "ISO-2022-JP", "ｱｲｳ"},
        CharsetRow{"iso2022jp_halfwidth_katakana_shift_out",
                   QByteArray("a\x0e"
                              "123\x0f"
                              "b"),
                   "ISO-2022-JP", "aｱｲｳb"},
        CharsetRow{"vendor_alias_cp50220", QByteArray("\x1b$B$*CN$i$;\x1b(B"), "cp50220",
                   "お知らせ"},
        CharsetRow{"vendor_alias_iso2022jp_ms", QByteArray("\x1b$B-!\x1b(B"), "ISO-2022-JP-MS",
                   "①"},
        CharsetRow{"euc_jp_with_nec_row_13", hex("C6 FC CB DC AD A1 A1 C1"), "EUC-JP", "日本①〜"},
        CharsetRow{"euc_jp_jis_x_0212", hex("8F B0 A1"), "EUC-JP", "丂"},
        CharsetRow{"no_label_shift_jis", hex("82 B1 82 F1 82 C9 82 BF 82 CD"), "", "こんにちは"},
        CharsetRow{"no_label_euc_jp", hex("A4 B3 A4 F3 A4 CB A4 C1 A4 CF"), "", "こんにちは"},
        CharsetRow{"no_label_iso2022jp", QByteArray("\x1b$B%F%9%H\x1b(B"), "", "テスト"},
        CharsetRow{"shift_jis_labelled_iso2022jp", hex("83 65 83 58 83 67"), "ISO-2022-JP",
                   "テスト"},
        CharsetRow{"utf8_labelled_shift_jis", hex("e38386e382b9e38388"), "Shift_JIS", "テスト"},
        CharsetRow{"shift_jis_labelled_utf8", hex("83 65 83 58 83 67"), "UTF-8", "テスト"},
        CharsetRow{"shift_jis_labelled_latin1", hex("82 B1 82 F1 82 C9 82 BF 82 CD"), "iso-8859-1",
                   "こんにちは"},
        CharsetRow{"shift_jis_labelled_ascii", hex("83 65 83 58 83 67"), "us-ascii", "テスト"},
        CharsetRow{"label_iconv_does_not_know", hex("e38386e382b9e38388"), "x-no-such-charset",
                   "テスト"},
        CharsetRow{"latin1_stays_latin1", QByteArray("caf\xe9"), "ISO-8859-1", "café"},
        CharsetRow{"windows_1252_under_the_latin1_label", hex("80 20 93 43 61 66 E9 94"),
                   "ISO-8859-1", "€ “Café”"},
        CharsetRow{"utf8_fullwidth_tilde_stays", hex("efbd9e"), "UTF-8", "～"},
        // One byte no Japanese table holds, in valid CP932 text: U+FFFD, not "?".
        CharsetRow{"undecodable_byte_replaced", hex("82 B1 82 F1 FF 82 C9"), "Shift_JIS",
                   "こん\uFFFDに"}),
    test::RowName{});

TEST(CharsetDecoding, StrictDecodingRefusesBytesOutsideTheLabel) {
    EXPECT_FALSE(decodeStrictly(hex("82 B1 FF"), "Shift_JIS"));
    EXPECT_FALSE(decodeStrictly(hex("41"), "no-such-charset"));
    EXPECT_EQ(decodeStrictly(hex("87 40"), "cp932").value_or(QString()), utf8("①"));
}

}  // namespace
}  // namespace orvane::mail
