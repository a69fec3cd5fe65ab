#include "header_decoder.h"
#include "mime_test_support.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::hex;
using test::PrintTo;
using test::utf8;

struct HeaderRow {
    const char* name;
    QByteArray raw;
    const char* fallback;
    const char* expected;
};

class HeaderTextDecoding : public testing::TestWithParam<HeaderRow> {};

TEST_P(HeaderTextDecoding, DecodesTheWholeValue) {
    const HeaderRow& row = GetParam();
    EXPECT_EQ(decodeHeaderText(row.raw, row.fallback).toStdString(), std::string(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HeaderTextDecoding,
    testing::Values(
        // Regression: GMime 3.2.13 stops after the first word ending in "=".
        HeaderRow{"padding_trap", " =?UTF-8?B?SGVsbG8=?= =?UTF-8?B?IHdvcmxk?=", "", "Hello world"},
        // Regression: GMime 3.2.13 gives "??" for ISO-2022-JP circled digits.
        HeaderRow{"iso2022jp_circled_digits", "=?ISO-2022-JP?B?GyRCLSEtIhsoQg==?=", "", "①②"},
        HeaderRow{"utf8_split_mid_character",
                  "=?UTF-8?B?" + hex("e697").toBase64() + "?=\r\n =?UTF-8?B?" +
                      hex("a5e69cace8aa9e").toBase64() + "?=",
                  "", "日本語"},
        HeaderRow{"base64_cut_short_of_a_quantum", "=?UTF-8?B?5pel5p?= =?UTF-8?B?ys6Kqe?=", "",
                  "日本語"},
        HeaderRow{"shift_jis_split_mid_character_q",
                  "=?Shift_JIS?Q?=93?= =?shift_jis?Q?=FA=96=7B?=", "", "日本"},
        HeaderRow{"iso2022jp_split_mid_character",
                  "=?ISO-2022-JP?B?" + QByteArray("\x1b$BF|K").toBase64() + "?= =?ISO-2022-JP?B?" +
                      QByteArray("\\8l\x1b(B").toBase64() + "?=",
                  "", "日本語"},
        HeaderRow{"mislabelled_utf8_as_iso2022jp", "=?ISO-2022-JP?B?5pel5pys6Kqe?=", "", "日本語"},
        HeaderRow{"language_suffix", "=?UTF-8*ja?B?5pel5pys6Kqe?=", "", "日本語"},
        HeaderRow{"q_encoding_with_underscores", "=?ISO-8859-1?Q?caf=E9_au_lait?=", "",
                  "café au lait"},
        HeaderRow{"plain_text_around_words", "Re: =?UTF-8?B?5pel5pys6Kqe?= (2)", "",
                  "Re: 日本語 (2)"},
        HeaderRow{"different_charsets_side_by_side",
                  "=?UTF-8?B?5pel?= =?ISO-2022-JP?B?GyRCLSEbKEI=?=", "", "日①"},
        HeaderRow{"raw_8bit_utf8", hex("e697a5e69cace8aa9e20e38386e382b9e38388"), "",
                  "日本語 テスト"},
        HeaderRow{"raw_8bit_shift_jis_with_body_charset", hex("835E83588367"), "shift_jis",
                  "タスト"},
        HeaderRow{"folded_plain_text", "a long\r\n subject", "", "a long subject"},
        HeaderRow{"broken_word_left_as_text", "=?UTF-8?X?abc?= tail", "", "=?UTF-8?X?abc?= tail"}),
    test::RowName{});

struct MailboxRow {
    const char* name;
    QByteArray raw;
    const char* expectedName;
    const char* expectedAddress;
};

class MailboxParsing : public testing::TestWithParam<MailboxRow> {};

TEST_P(MailboxParsing, FindsNameAndAddress) {
    const MailboxRow& row = GetParam();
    const auto mailbox = firstMailbox(row.raw, "shift_jis");
    ASSERT_TRUE(mailbox);
    EXPECT_EQ(mailbox->name.toStdString(), std::string(row.expectedName));
    EXPECT_EQ(mailbox->address.toStdString(), std::string(row.expectedAddress));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MailboxParsing,
    testing::Values(MailboxRow{"padding_trap_in_name",
                               "=?UTF-8?B?SGVsbG8=?= =?UTF-8?B?IHdvcmxk?= <a@b.jp>", "Hello world",
                               "a@b.jp"},
                    MailboxRow{"quoted_name_with_comma", "\"Yamada, Taro\" <taro@example.jp>",
                               "Yamada, Taro", "taro@example.jp"},
                    MailboxRow{"encoded_word_inside_quotes",
                               "\"=?ISO-2022-JP?B?GyRCLSEbKEI=?=\" <a@b.jp>", "①", "a@b.jp"},
                    MailboxRow{"bare_address", "taro@example.jp", "", "taro@example.jp"},
                    MailboxRow{"address_with_comment", "taro@example.jp (Taro Yamada)",
                               "Taro Yamada", "taro@example.jp"},
                    // 表 is 95 5C in Shift_JIS: its second byte is a backslash.
                    MailboxRow{"raw_shift_jis_name_with_backslash_byte",
                               "\"" + hex("955C8EA6") + "\" <a@b.jp>", "表示", "a@b.jp"},
                    MailboxRow{"first_of_several", "A <a@x.jp>, B <b@x.jp>", "A", "a@x.jp"}),
    test::RowName{});

struct ParameterRow {
    const char* name;
    QByteArray raw;
    const char* expected;
};

class ParameterDecoding : public testing::TestWithParam<ParameterRow> {};

TEST_P(ParameterDecoding, DecodesTheFileName) {
    const ParameterRow& row = GetParam();
    const auto value = headerParameter(row.raw, "filename");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->toStdString(), std::string(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParameterDecoding,
    testing::Values(
        ParameterRow{"rfc2231_shift_jis", "attachment; filename*=shift_jis''%82%A0%87%40.mp3",
                     "あ①.mp3"},
        ParameterRow{"rfc2231_iso2022jp",
                     "attachment;\r\n filename*=iso-2022-jp'ja'%1B%24B-%21%1B%28B.mp3", "①.mp3"},
        ParameterRow{"rfc2231_continuations",
                     "attachment; filename*0*=UTF-8''%E9%9F%B3; filename*1*=%E5%A3%B0;\r\n"
                     " filename*2=\".mp3\"",
                     "音声.mp3"},
        ParameterRow{"rfc2231_wins_over_plain",
                     "attachment; filename=\"fallback.mp3\"; filename*=UTF-8''%E9%9F%B3.mp3",
                     "音.mp3"},
        ParameterRow{"rfc2047_in_quotes",
                     "attachment; filename=\"=?UTF-8?B?SGVsbG8=?= =?UTF-8?B?IHdvcmxk?=.mp3\"",
                     "Hello world.mp3"},
        ParameterRow{"raw_8bit_shift_jis", "attachment; filename=\"" + hex("955C8EA6") + ".mp3\"",
                     "表示.mp3"},
        ParameterRow{"unquoted_token", "attachment; filename=voice.mp3; size=10", "voice.mp3"},
        ParameterRow{"windows_path_backslashes", "attachment; filename=\"C:\\tmp\\a.mp3\"",
                     "C:\\tmp\\a.mp3"}),
    test::RowName{});

TEST(ParameterDecoding, AbsentParameterIsNothing) {
    EXPECT_FALSE(headerParameter("attachment; name=x", "filename"));
    EXPECT_FALSE(headerParameter("inline", "filename"));
}

}  // namespace
}  // namespace orvane::mail
