// Mails built to break the reader: mixed line endings, many inline parts,
// nesting deeper than the libraries follow, huge header values, NUL bytes and
// raw 8-bit headers. Time bounds are generous (about ten times what
// mime_read_bench prints); they only catch work that grows with the square of
// the input.
#include "mail_corpus_test_support.h"
#include "mail_reader.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace orvane::mail {
namespace {

using namespace test;
using test::PrintTo;

// A voice mail of `length` bytes whose pieces end their lines as `eol` says.
CorpusRow endings(const char* name, LineEnds eol, int length = 3000) {
    const QByteArray voice = mp3Like(length);
    return row(name, "voice", "a@example.jp", "声のメッセージです。", voiceMail(voice, eol),
               {{"voice.mp3", voice}});
}

// `depth` multiparts inside each other, a text at the top and a text and a
// picture at the bottom.
QByteArray nestedMime(int depth) {
    QByteArray mail = test::mail("deep",
                                 "Content-Type: multipart/mixed; boundary=b0\n\n"
                                 "--b0\nContent-Type: text/plain\n\ntop text\n");
    for (int i = 0; i < depth; ++i)
        mail += "--b" + QByteArray::number(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
                QByteArray::number(i + 1) + "\r\n\r\n";
    const QByteArray last = "--b" + QByteArray::number(depth);
    mail += last + "\r\nContent-Type: text/plain\r\n\r\nDEEP TEXT\r\n" + last +
            "\r\nContent-Type: image/png\r\nContent-Disposition: attachment; filename=deep.png"
            "\r\n\r\nPNG\r\n" +
            last + "--\r\n";
    for (int i = depth - 1; i >= 0; --i)
        mail += "--b" + QByteArray::number(i) + "--\r\n";
    return mail;
}

const QByteArray kNul(1, '\0');

INSTANTIATE_TEST_SUITE_P(
    Hostile, MailCorpus,
    testing::Values(
        // An attachment once came out 3 bytes short where its lines ended in
        // bare LF under a header in CR LF.
        endings("crlf_only", {}), endings("lf_only", {"\n", "\n", "\n", "\n"}),
        endings("base64_lines_in_bare_lf", {.content = "\n"}),
        endings("base64_lines_in_bare_lf_padded", {.content = "\n"}, 3001),
        endings("part_headers_and_lines_in_bare_lf", {.part = "\n", .content = "\n"}, 2997),
        endings("boundaries_in_bare_lf", {.content = "\n", .boundary = "\n"}),
        endings("lines_in_crlf_under_lf_header", {"\n", "\n", "\r\n", "\n"}),
        row("every_inline_text_part_in_order", "inline", "a@example.jp",
            "最初の段落\n写真の後の段落\n-- \nlist footer",
            mixedMail("inline",
                      {"Content-Type: text/plain; charset=utf-8\n\n最初の段落",
                       "Content-Type: image/png\nContent-Disposition: inline\n"
                       "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=",
                       "Content-Type: text/plain; charset=utf-8\n\n写真の後の段落",
                       "Content-Type: text/plain; charset=us-ascii\nContent-Disposition: inline"
                       "\n\n-- \nlist footer"}),
            {{"attachment.png", hex("89504e470d0a1a0a")}}),
        row("each_set_of_alternatives_gives_one_text", "alt", "a@example.jp",
            "plain one\nonly html\nfooter",
            mixedMail("alt",
                      {"Content-Type: multipart/alternative; boundary=a1\n\n"
                       "--a1\nContent-Type: text/plain\n\nplain one\n"
                       "--a1\nContent-Type: text/html\n\n<p>html one</p>\n--a1--",
                       "Content-Type: multipart/alternative; boundary=a2\n\n"
                       "--a2\nContent-Type: text/plain\n\n \n"
                       "--a2\nContent-Type: multipart/related; boundary=r\n\n"
                       "--r\nContent-Type: text/html\n\n<p>only <b>html</b></p>\n"
                       "--r\nContent-Type: image/gif\nContent-Disposition: inline\n\nGIF\n--r--\n"
                       "--a2--",
                       "Content-Type: text/plain\n\nfooter"}),
            {{"attachment.gif", "GIF"}}),
        row("mime_nested_3000_deep_read_whole", "deep", "a@example.jp", "top text\nDEEP TEXT",
            nestedMime(3000), {{"deep.png", "PNG"}}),
        row("mime_nested_beyond_reach_says_it_was_cut", "deep", "a@example.jp",
            "top text\n（以下省略）", nestedMime(12000)),
        row("nul_bytes_do_not_cut_header_values", "first and the rest",
            "Taro Yamada <taro@example.jp>", "body",
            mixedMail(
                "first" + kNul + " and the rest",
                {"Content-Type: text/plain\n\nbody",
                 "Content-Type: audio/mpeg\nContent-Disposition: attachment; filename=\"voice" +
                     kNul + "memo.mp3\"\n\nMP3"})
                .replace("a@example.jp", "Taro" + kNul + " Yamada <taro@example.jp>"),
            {{"voicememo.mp3", "MP3"}}),
        // Raw 8-bit header bytes read in the charset the mail declares.
        row("raw_windows_1252_declared_by_the_from_word", "Formação ... Verão",
            "João Conceição <joao@example.pt>", "Ola\n",
            crlf("From: =?windows-1252?Q?Jo=E3o_Concei=E7=E3o?= <joao@example.pt>\n"
                 "Subject: Forma\xe7\xe3o ... Ver\xe3o\n\nOla\n")),
        row("raw_latin_in_the_body_charset", "Café crème", "René <r@example.fr>", "x\n",
            crlf("From: \"Ren\xe9\" <r@example.fr>\nSubject: Caf\xe9 cr\xe8me\n"
                 "Content-Type: text/plain; charset=iso-8859-15\n\nx\n")),
        row("raw_shift_jis_in_an_iso2022jp_mail", "会議の件", "山田 <t@example.jp>", "こん\n",
            crlf("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@example.jp>\nSubject: " +
                 hex("89EF8B6382CC8C8F") +
                 "\nContent-Type: text/plain; charset=ISO-2022-JP\n\n\x1b$B$3$s\x1b(B\n")),
        row("raw_shift_jis_declared_by_an_encoded_word", "表示の件", "山田 <t@example.jp>", "x\n",
            crlf("From: =?Shift_JIS?B?jlKTYw==?= <t@example.jp>\nSubject: " +
                 hex("955C8EA682CC8C8F") + "\nContent-Type: text/plain; charset=utf-8\n\nx\n")),
        row("raw_shift_jis_without_any_declaration", "テスト所", "a@example.jp", "x\n",
            mail(hex("8365835883678F8A"), "\nx\n"))),
    RowName{});

struct HugeHeaderRow {
    const char* name;
    QByteArray mail;
    qint64 boundMs;  // about ten times what the benchmark measures
    qsizetype attachments = 1;
};

class HugeHeaders : public testing::TestWithParam<HugeHeaderRow> {};

TEST_P(HugeHeaders, AreReadInTimeThatGrowsWithTheirLength) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("m.eml"), GetParam().mail));
    QElapsedTimer timer;
    timer.start();
    const Expected<ReceivedMail> mail = readMailFile("m.eml", dir.path());
    const qint64 elapsed = timer.elapsed();
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_LT(elapsed, GetParam().boundMs);
    EXPECT_EQ(mail->body, "body");
    EXPECT_EQ(mail->attachments.size(), GetParam().attachments);
    for (const QString& path : mail->attachments) {
        EXPECT_LE(QFileInfo(path).fileName().toUtf8().size(), 180);
        EXPECT_EQ(readFile(path), "MP3");
    }
}

const QByteArray kJapaneseName =
    utf8("音声メッセージの名前").toUtf8().repeated(1536 * 1024 / 30) + ".mp3";

QByteArray tenHugeNames() {
    QList<QByteArray> parts{"Content-Type: text/plain\n\nbody"};
    for (int i = 0; i < 10; ++i)
        parts << "Content-Type: audio/mpeg; name=\"" + QByteArray::number(i) +
                     QByteArray(100 * 1024, 'x') + ".mp3\"\n\nMP3";
    return mixedMail("s", parts);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HugeHeaders,
    testing::Values(
        HugeHeaderRow{"ascii_name_1mb",
                      mailWithHeader("s", "attachment; filename=\"" + QByteArray(1024 * 1024, 'a') +
                                              ".mp3\""),
                      1000},
        HugeHeaderRow{
            "japanese_rfc2231_name_1_5mb",
            mailWithHeader("s", "attachment; filename*=UTF-8''" + percentEncoded(kJapaneseName)),
            1000},
        HugeHeaderRow{"japanese_raw_name_1_5mb",
                      mailWithHeader("s", "attachment; filename=\"" + kJapaneseName + "\""), 1000},
        HugeHeaderRow{"ten_names_of_100kb", tenHugeNames(), 1000, 10},
        HugeHeaderRow{"parameters_without_values_1mb",
                      mailWithHeader("s", "attachment" + QByteArray("; x").repeated(350000) +
                                              "; filename=v.mp3"),
                      1000},
        HugeHeaderRow{"unterminated_encoded_words_1mb",
                      mailWithHeader(QByteArray("=?utf-8?B?5pel ").repeated(70000),
                                     "attachment; filename=v.mp3"),
                      1000},
        HugeHeaderRow{"encoded_words_20mb",
                      mailWithHeader(QByteArray("=?utf-8?B?5pel5pys?=\r\n ").repeated(800000),
                                     "attachment; filename=v.mp3"),
                      4000}),
    RowName{});

TEST(MailReader, LongTextBodyTakesLessThanThreeTimesItsSize) {
    QTemporaryDir dir;
    constexpr qsizetype kSize = 16 * 1024 * 1024;
    const QByteArray line = "The quick brown fox jumps over the lazy dog, again and again.\n";
    ASSERT_TRUE(writeFile(dir.filePath("long.eml"),
                          mail("long", "Content-Type: text/plain; charset=us-ascii\n\n" +
                                           line.repeated(kSize / line.size()))));
    const long grownKiB = peakGrowthKiB([&] {
        const Expected<ReceivedMail> read = readMailFile("long.eml", dir.path());
        return read.ok() && read->body.size() > kSize * 9 / 10;
    });
    ASSERT_GE(grownKiB, 0) << "the read failed";
    EXPECT_LT(grownKiB * 1024, 3 * kSize) << "grew by " << grownKiB << " KiB";
}

}  // namespace
}  // namespace orvane::mail
