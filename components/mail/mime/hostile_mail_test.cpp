// Mails built to break the reader: mixed line endings, many inline parts,
// nesting deeper than the libraries follow, huge header values, NUL bytes and
// raw 8-bit headers. Time bounds are generous (about ten times what
// mime_read_bench prints); they only catch work that grows with the square of
// the input.
#include "mail_reader.h"
#include "mime_test_support.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::crlf;
using test::hex;
using test::mailWithHeader;
using test::peakGrowthKiB;
using test::percentEncoded;
using test::PrintTo;
using test::readFile;
using test::utf8;
using test::writeFile;

// Bytes shaped like an MP3 voice message: a tag, frame headers and noise that
// holds CR and LF bytes of its own.
QByteArray mp3Like(int length) {
    QByteArray bytes = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0f", 10);
    quint32 seed = 7;
    while (bytes.size() < length) {
        if (bytes.size() % 417 == 0)
            bytes += QByteArray::fromHex("fffb9064");
        seed = seed * 1664525u + 1013904223u;
        bytes += static_cast<char>(seed >> 24);
    }
    bytes.truncate(length);
    return bytes;
}

class MailFolder : public testing::Test {
  protected:
    Expected<ReceivedMail> read(const QByteArray& mail) {
        const QString name = QStringLiteral("m%1.eml").arg(++count_);
        EXPECT_TRUE(writeFile(dir_.filePath(name), mail));
        return readMailFile(name, dir_.path());
    }
    QTemporaryDir dir_;
    int count_ = 0;
};

struct EndingRow {
    const char* name;
    const char* header;    // line ending of the mail's header
    const char* part;      // of the parts' headers
    const char* content;   // of the text and base64 lines
    const char* boundary;  // of the boundary lines
    int length;            // of the attachment
};

class LineEndings : public MailFolder, public testing::WithParamInterface<EndingRow> {};

TEST_P(LineEndings, AttachmentAndTextArriveWhole) {
    const EndingRow& row = GetParam();
    const QByteArray voice = mp3Like(row.length);
    const QByteArray h = row.header, p = row.part, c = row.content, b = row.boundary;
    QByteArray mail = "From: a@example.jp" + h + "Subject: voice" + h + "MIME-Version: 1.0" + h +
                      "Content-Type: multipart/mixed; boundary=\"b\"" + h + h + "--b" + b +
                      "Content-Type: text/plain; charset=utf-8" + p + p +
                      utf8("声のメッセージです。").toUtf8() + c + "--b" + b +
                      "Content-Type: audio/mpeg" + p +
                      "Content-Disposition: attachment; filename=voice.mp3" + p +
                      "Content-Transfer-Encoding: base64" + p + p;
    const QByteArray base64 = voice.toBase64();
    for (qsizetype at = 0; at < base64.size(); at += 76)
        mail += base64.mid(at, 76) + c;
    mail += "--b--" + b;

    const Expected<ReceivedMail> mailRead = read(mail);
    ASSERT_TRUE(mailRead.ok()) << mailRead.failure().reason.toStdString();
    EXPECT_EQ(mailRead->body, utf8("声のメッセージです。"));
    ASSERT_EQ(mailRead->attachments.size(), 1);
    const QByteArray saved = readFile(mailRead->attachments.first());
    EXPECT_EQ(saved.size(), voice.size());
    EXPECT_TRUE(saved == voice) << "the saved attachment differs from the one sent";
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LineEndings,
    testing::Values(EndingRow{"crlf_only", "\r\n", "\r\n", "\r\n", "\r\n", 3000},
                    EndingRow{"lf_only", "\n", "\n", "\n", "\n", 3000},
                    EndingRow{"base64_lines_in_bare_lf", "\r\n", "\r\n", "\n", "\r\n", 3000},
                    EndingRow{"base64_lines_in_bare_lf_padded", "\r\n", "\r\n", "\n", "\r\n", 3001},
                    EndingRow{"part_headers_and_lines_in_bare_lf", "\r\n", "\n", "\n", "\r\n",
                              2997},
                    EndingRow{"boundaries_in_bare_lf", "\r\n", "\r\n", "\n", "\n", 3000},
                    EndingRow{"lines_in_crlf_under_lf_header", "\n", "\n", "\r\n", "\n", 3000}),
    test::RowName{});

TEST_F(MailFolder, EveryInlineTextPartIsReadInOrder) {
    const Expected<ReceivedMail> mail = read(
        crlf("From: list@example.jp\nSubject: inline\nContent-Type: multipart/mixed; boundary=b\n\n"
             "--b\nContent-Type: text/plain; charset=utf-8\n\n最初の段落\n"
             "--b\nContent-Type: image/png\nContent-Disposition: inline\n"
             "Content-Transfer-Encoding: base64\n\niVBORw0KGgo=\n"
             "--b\nContent-Type: text/plain; charset=utf-8\n\n写真の後の段落\n"
             "--b\nContent-Type: text/plain; charset=us-ascii\nContent-Disposition: inline\n\n"
             "-- \nlist footer\n"
             "--b--\n"));
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->body, utf8("最初の段落\n写真の後の段落\n-- \nlist footer"));
    ASSERT_EQ(mail->attachments.size(), 1);
    EXPECT_EQ(QFileInfo(mail->attachments.first()).fileName(), "attachment.png");
    EXPECT_EQ(readFile(mail->attachments.first()), QByteArray::fromHex("89504e470d0a1a0a"));
}

TEST_F(MailFolder, EachSetOfAlternativesGivesOneText) {
    const Expected<ReceivedMail> mail = read(
        crlf("From: a@example.jp\nSubject: alt\nContent-Type: multipart/mixed; boundary=m\n\n"
             "--m\nContent-Type: multipart/alternative; boundary=a1\n\n"
             "--a1\nContent-Type: text/plain\n\nplain one\n"
             "--a1\nContent-Type: text/html\n\n<p>html one</p>\n--a1--\n"
             "--m\nContent-Type: multipart/alternative; boundary=a2\n\n"
             "--a2\nContent-Type: text/plain\n\n \n"
             "--a2\nContent-Type: multipart/related; boundary=r\n\n"
             "--r\nContent-Type: text/html\n\n<p>only <b>html</b></p>\n"
             "--r\nContent-Type: image/gif\nContent-Disposition: inline\n\nGIF\n--r--\n--a2--\n"
             "--m\nContent-Type: text/plain\n\nfooter\n"
             "--m--\n"));
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->body, "plain one\nonly html\nfooter");
    ASSERT_EQ(mail->attachments.size(), 1);  // the related picture is still kept
    EXPECT_TRUE(mail->attachments.first().endsWith(".gif"));
}

QByteArray nestedHtml(int depth, const char* tag) {
    QByteArray html = "<html><body><p>start</p>";
    for (int i = 0; i < depth; ++i)
        html += QByteArray("<") + tag + ">";
    html += "END";
    for (int i = 0; i < depth; ++i)
        html += QByteArray("</") + tag + ">";
    return html + "<p>after</p></body></html>\n";
}

TEST_F(MailFolder, HtmlNestedThousandsDeepIsReadToTheEnd) {
    for (const char* tag : {"div", "span", "blockquote"}) {
        const Expected<ReceivedMail> mail =
            read(crlf("From: a@example.jp\nSubject: deep\nContent-Type: text/html\n\n") +
                 nestedHtml(20000, tag));
        ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
        EXPECT_TRUE(mail->body.startsWith("start")) << tag;
        EXPECT_TRUE(mail->body.contains("END")) << tag;
        EXPECT_TRUE(mail->body.endsWith("after")) << tag;
        EXPECT_FALSE(mail->body.contains(utf8("（以下省略）")));
    }
}

// `depth` multiparts inside each other, a text at the top and a text and a
// picture at the bottom.
QByteArray nestedMime(int depth) {
    QByteArray mail = crlf(
        "From: a@example.jp\nSubject: deep\nMIME-Version: 1.0\n"
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

TEST_F(MailFolder, MimeNestedThreeThousandDeepIsReadWhole) {
    const Expected<ReceivedMail> mail = read(nestedMime(3000));
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->body, "top text\nDEEP TEXT");
    ASSERT_EQ(mail->attachments.size(), 1);
    EXPECT_EQ(readFile(mail->attachments.first()), "PNG");
}

TEST_F(MailFolder, MimeNestedBeyondReachSaysTheBodyWasCut) {
    const Expected<ReceivedMail> mail = read(nestedMime(12000));
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->body, utf8("top text\n（以下省略）"));
}

TEST_F(MailFolder, NulBytesInTheHeaderDoNotCutValues) {
    const QByteArray nul(1, '\0');
    const Expected<ReceivedMail> mail =
        read("From: Taro" + nul + " Yamada <taro@example.jp>\r\nSubject: first" + nul +
             " and the rest\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
             "--b\r\nContent-Type: text/plain\r\n\r\nbody\r\n"
             "--b\r\nContent-Type: audio/mpeg\r\n"
             "Content-Disposition: attachment; filename=\"voice" +
             nul + "memo.mp3\"\r\n\r\nMP3\r\n--b--\r\n");
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->subject, "first and the rest");
    EXPECT_EQ(mail->from, "Taro Yamada <taro@example.jp>");
    ASSERT_EQ(mail->attachments.size(), 1);
    EXPECT_EQ(QFileInfo(mail->attachments.first()).fileName(), "voicememo.mp3");
}

struct RawHeaderRow {
    const char* name;
    QByteArray mail;
    const char* subject;
    const char* from;
};

class RawHeaderBytes : public MailFolder, public testing::WithParamInterface<RawHeaderRow> {};

TEST_P(RawHeaderBytes, AreReadInTheCharsetTheMailDeclares) {
    const Expected<ReceivedMail> mail = read(GetParam().mail);
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->subject.toStdString(), std::string(GetParam().subject));
    EXPECT_EQ(mail->from.toStdString(), std::string(GetParam().from));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RawHeaderBytes,
    testing::Values(
        RawHeaderRow{"windows_1252_declared_by_the_from_word",
                     crlf("From: =?windows-1252?Q?Jo=E3o_Concei=E7=E3o?= <joao@example.pt>\n"
                          "Subject: Forma\xe7\xe3o ... Ver\xe3o\n"
                          "Content-Type: text/plain\n\nOla\n"),
                     "Formação ... Verão", "João Conceição <joao@example.pt>"},
        RawHeaderRow{"latin_body_charset",
                     crlf("From: \"Ren\xe9\" <r@example.fr>\nSubject: Caf\xe9 cr\xe8me\n"
                          "Content-Type: text/plain; charset=iso-8859-15\n\nx\n"),
                     "Café crème", "René <r@example.fr>"},
        RawHeaderRow{"shift_jis_in_an_iso2022jp_mail",
                     crlf("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <t@example.jp>\nSubject: " +
                          hex("89EF8B6382CC8C8F") +
                          "\nContent-Type: text/plain; charset=ISO-2022-JP\n\n"
                          "\x1b$B$3$s\x1b(B\n"),
                     "会議の件", "山田 <t@example.jp>"},
        RawHeaderRow{
            "shift_jis_declared_by_an_encoded_word",
            crlf("From: =?Shift_JIS?B?jlKTYw==?= <t@example.jp>\nSubject: " +
                 hex("955C8EA682CC8C8F") + "\nContent-Type: text/plain; charset=utf-8\n\nx\n"),
            "表示の件", "山田 <t@example.jp>"},
        RawHeaderRow{"shift_jis_without_any_declaration",
                     crlf("From: t@example.jp\nSubject: " + hex("8365835883678F8A") + "\n\nx\n"),
                     "テスト所", "t@example.jp"}),
    test::RowName{});

struct HugeHeaderRow {
    const char* name;
    QByteArray mail;
    qint64 boundMs;  // about ten times what the benchmark measures
};

class HugeHeaders : public MailFolder, public testing::WithParamInterface<HugeHeaderRow> {};

TEST_P(HugeHeaders, AreReadInTimeThatGrowsWithTheirLength) {
    QElapsedTimer timer;
    timer.start();
    const Expected<ReceivedMail> mail = read(GetParam().mail);
    const qint64 elapsed = timer.elapsed();
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_LT(elapsed, GetParam().boundMs);
    EXPECT_EQ(mail->body, "body");
    for (const QString& path : mail->attachments) {
        EXPECT_LE(QFileInfo(path).fileName().toUtf8().size(), 180);
        EXPECT_EQ(readFile(path), "MP3");
    }
}

const QByteArray kJapaneseName =
    utf8("音声メッセージの名前").toUtf8().repeated(1536 * 1024 / 30) + ".mp3";

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
    test::RowName{});

TEST_F(MailFolder, TenHugeNamesInOneMail) {
    QByteArray mail =
        "From: a@example.jp\r\nSubject: s\r\n"
        "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
        "--b\r\nContent-Type: text/plain\r\n\r\nbody\r\n";
    for (int i = 0; i < 10; ++i)
        mail += "--b\r\nContent-Type: audio/mpeg; name=\"" + QByteArray(100 * 1024, 'x') +
                QByteArray::number(i) + ".mp3\"\r\n\r\nMP3\r\n";
    mail += "--b--\r\n";
    QElapsedTimer timer;
    timer.start();
    const Expected<ReceivedMail> read = this->read(mail);
    EXPECT_LT(timer.elapsed(), 1000);
    ASSERT_TRUE(read.ok()) << read.failure().reason.toStdString();
    EXPECT_EQ(read->attachments.size(), 10);
}

TEST_F(MailFolder, LongTextBodyTakesLessThanThreeTimesItsSize) {
    constexpr qsizetype kSize = 16 * 1024 * 1024;
    const QByteArray line = "The quick brown fox jumps over the lazy dog, again and again.\r\n";
    QByteArray mail =
        "From: a@example.jp\r\nSubject: long\r\n"
        "Content-Type: text/plain; charset=us-ascii\r\n\r\n" +
        line.repeated(kSize / line.size());
    ASSERT_TRUE(writeFile(dir_.filePath("long.eml"), mail));
    mail.clear();
    mail.squeeze();
    const long grownKiB = peakGrowthKiB([&] {
        const Expected<ReceivedMail> read = readMailFile("long.eml", dir_.path());
        return read.ok() && read->body.size() > kSize * 9 / 10;
    });
    ASSERT_GE(grownKiB, 0) << "the read failed";
    EXPECT_LT(grownKiB * 1024, 3 * kSize) << "grew by " << grownKiB << " KiB";
}

}  // namespace
}  // namespace orvane::mail
