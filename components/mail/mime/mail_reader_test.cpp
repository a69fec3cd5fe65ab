#include "mail_reader.h"
#include "mime_test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::crlf;
using test::hex;
using test::peakGrowthKiB;
using test::PrintTo;
using test::readFile;
using test::utf8;
using test::writeFile;

struct Attachment {
    const char* fileName;  // expected name inside the mail folder
    QByteArray content;
};

struct CorpusRow {
    const char* name;
    QByteArray mail;
    const char* subject;
    const char* from;
    const char* body;
    std::vector<Attachment> attachments;
};

CorpusRow row(const char* name, const char* subject, const char* from, const char* body,
              QByteArray mail, std::vector<Attachment> attachments = {}) {
    return {name, std::move(mail), subject, from, body, std::move(attachments)};
}

class MailCorpus : public testing::TestWithParam<CorpusRow> {
  protected:
    QTemporaryDir dir;
};

TEST_P(MailCorpus, ReadsEveryFieldExactly) {
    const CorpusRow& row = GetParam();
    ASSERT_TRUE(writeFile(dir.filePath("mail.eml"), row.mail));

    const Expected<ReceivedMail> read = readMailFile("mail.eml", dir.path());
    ASSERT_TRUE(read.ok()) << read.failure().reason.toStdString();
    EXPECT_EQ(read->subject.toStdString(), std::string(row.subject));
    EXPECT_EQ(read->from.toStdString(), std::string(row.from));
    EXPECT_EQ(read->body.toStdString(), std::string(row.body));
    ASSERT_EQ(read->attachments.size(), static_cast<qsizetype>(row.attachments.size()));
    for (size_t i = 0; i < row.attachments.size(); ++i) {
        const QString path = read->attachments[static_cast<qsizetype>(i)];
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_EQ(QFileInfo(path).fileName().toStdString(),
                  std::string(row.attachments[i].fileName));
        EXPECT_EQ(readFile(path), row.attachments[i].content);
    }
}

const QByteArray kMp3 = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0f", 10) + QByteArray(300, '\xfb');

INSTANTIATE_TEST_SUITE_P(
    Rows, MailCorpus,
    testing::Values(
        row("utf8_base64", "会議の件", "山田 太郎 <taro@example.jp>",
            "明日の会議は10時から。\nよろしく-お願い_します。\n",
            crlf("From: =?UTF-8?B?5bGx55SwIOWkqumDjg==?= <taro@example.jp>\n"
                 "Subject: =?UTF-8?B?5Lya6K2w44Gu5Lu2?=\n"
                 "Date: Sun, 06 Dec 2026 10:00:00 +0900\n"
                 "MIME-Version: 1.0\n"
                 "Content-Type: text/plain; charset=UTF-8\n"
                 "Content-Transfer-Encoding: base64\n\n" +
                 QByteArray("明日の会議は10時から。\nよろしく-お願い_します。\n").toBase64() +
                 "\n")),
        row("iso2022jp_with_circled_digits", "①〜", "山田 太郎 <t@example.jp>", "②〜こんにちは\n",
            crlf("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQiAbJEJCQE86GyhC?= <t@example.jp>\n"
                 "Subject: =?ISO-2022-JP?B?GyRCLSEhQRsoQg==?=\n"
                 "Content-Type: text/plain; charset=ISO-2022-JP\n"
                 "Content-Transfer-Encoding: 7bit\n\n"
                 "\x1b$B-\"!A$3$s$K$A$O\x1b(B\n")),
        row("cp932_labelled_shift_jis", "①纊〜", "山田 太郎 <t@example.jp>", "②＼〜\n",
            crlf("From: =?Shift_JIS?B?jlKTYyCRvphZ?= <t@example.jp>\n"
                 "Subject: =?Shift_JIS?B?h0DtQIFg?=\n"
                 "Content-Type: text/plain; charset=\"Shift_JIS\"\n"
                 "Content-Transfer-Encoding: 8bit\n\n" +
                 hex("8741815F8160") + "\n")),
        row("euc_jp", "日本語", "t@example.jp", "こんにちは\n",
            crlf("From: t@example.jp\n"
                 "Subject: =?EUC-JP?B?" +
                 hex("C6FCCBDCB8EC").toBase64() +
                 "?=\n"
                 "Content-Type: text/plain; charset=euc-jp\n\n" +
                 hex("A4B3A4F3A4CBA4C1A4CF") + "\n")),
        row("raw_8bit_headers_in_body_charset", "テスト所", "表示 <a@example.jp>", "こん\n",
            crlf("From: \"" + hex("955C8EA6") +
                 "\" <a@example.jp>\n"
                 "Subject: " +
                 hex("8365835883678F8A") +
                 "\n"
                 "Content-Type: text/plain; charset=Shift_JIS\n\n" +
                 hex("82B182F1") + "\n")),
        row("html_only", "html", "a@example.jp", "A & B <= 日\n日本\nsecond line",
            crlf("From: a@example.jp\nSubject: html\n"
                 "Content-Type: text/html; charset=utf-8\n"
                 "Content-Transfer-Encoding: quoted-printable\n\n"
                 "<html><head><title>t</title><style>p{color:red}</style></head>\n"
                 "<body><script>alert(1)</script><p>A &amp; B &lt;=3D &#x65E5;</p>\n"
                 "<div>=E6=97=A5=E6=9C=AC<br>second&nbsp;line</div></body></html>\n")),
        row("nested_multipart_with_japanese_rfc2231_name", "nested", "a@example.jp", "plain part",
            crlf("From: a@example.jp\nSubject: nested\nMIME-Version: 1.0\n"
                 "Content-Type: multipart/mixed; boundary=outer\n\n"
                 "--outer\n"
                 "Content-Type: multipart/alternative; boundary=inner\n\n"
                 "--inner\nContent-Type: text/html; charset=utf-8\n\n<p>html part</p>\n"
                 "--inner\nContent-Type: text/plain; charset=utf-8\n\nplain part\n"
                 "--inner--\n"
                 "--outer\n"
                 "Content-Type: audio/mpeg\n"
                 "Content-Disposition: attachment;\n"
                 " filename*=UTF-8''%E9%9F%B3%E5%A3%B0%E3%83%A1%E3%83%83%E3%82%BB%E3%83%BC%"
                 "E3%82%B8.mp3\n"
                 "Content-Transfer-Encoding: base64\n\n" +
                 kMp3.toBase64() + "\n--outer--\n"),
            {{"音声メッセージ.mp3", kMp3}}),
        row("empty_plain_alternative_falls_back_to_html", "alt", "a@example.jp", "only \"here\"",
            crlf("From: a@example.jp\nSubject: alt\n"
                 "Content-Type: multipart/alternative; boundary=b\n\n"
                 "--b\nContent-Type: text/plain; charset=utf-8\n\n\n"
                 "--b\nContent-Type: text/html; charset=utf-8\n\n<p>only &quot;here&quot;</p>\n"
                 "--b--\n")),
        row("names_that_try_to_leave_the_folder", "evil", "a@example.jp", "body",
            crlf("From: a@example.jp\nSubject: evil\n"
                 "Content-Type: multipart/mixed; boundary=b\n\n"
                 "--b\nContent-Type: text/plain\n\nbody\n"
                 "--b\nContent-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=\"../../evil.mp3\"\n\none\n"
                 "--b\nContent-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=\"\"\n\nthree\n"
                 "--b\nContent-Type: application/octet-stream; name=\"..\"\n\nfive\n"
                 "--b\nContent-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=\"..\\\\..\\\\evil.mp3\"\n\nsix\n"
                 "--b--\n"),
            {{"evil.mp3", "one"},
             {"attachment.mp3", "three"},
             {"attachment.bin", "five"},
             {"evil (2).mp3", "six"}}),
        row("forwarded_message_saved_whole", "fwd", "a@example.jp", "see below",
            crlf("From: a@example.jp\nSubject: fwd\n"
                 "Content-Type: multipart/mixed; boundary=b\n\n"
                 "--b\nContent-Type: text/plain\n\nsee below\n"
                 "--b\nContent-Type: message/rfc822\n\n"
                 "Subject: inner\n\ninner body\n"
                 "--b--\n"),
            {{"attachment.eml", "Subject: inner\n\ninner body"}}),
        row("windows_1252_under_latin1_label", "“Café”", "René <r@example.fr>",
            "€ 10, café au lait\n",
            crlf("From: =?ISO-8859-1?Q?Ren=E9?= <r@example.fr>\nSubject: "
                 "=?ISO-8859-1?Q?=93Caf=E9=94?=\n"
                 "Content-Type: text/plain; charset=iso-8859-1\n"
                 "Content-Transfer-Encoding: quoted-printable\n\n"
                 "=80 10, caf=E9=\n au lait\n")),
        row("missing_headers", "", "", "こん\n", crlf("\n" + hex("82B182F1") + "\n")),
        row("broken_base64", "b64", "a@example.jp", "日本語です。",
            crlf("From: a@example.jp\nSubject: b64\n"
                 "Content-Type: text/plain; charset=utf-8\n"
                 "Content-Transfer-Encoding: base64\n\n"
                 "5pel5pys6Kqe!!\n"
                 "44Gn44GZ*\n"
                 "44CC"))),
    test::RowName{});

TEST(MailReader, AttachmentNeverOverwritesAnExistingFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("voice.mp3"), "keep me"));
    ASSERT_TRUE(
        writeFile(dir.filePath("m.eml"),
                  crlf("From: a@b.jp\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n"
                       "--b\nContent-Type: text/plain\n\nx\n"
                       "--b\nContent-Type: audio/mpeg\n"
                       "Content-Disposition: attachment; filename=voice.mp3\n\nnew\n--b--\n")));
    const Expected<ReceivedMail> read = readMailFile(dir.filePath("m.eml"), dir.path());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(readFile(dir.filePath("voice.mp3")), "keep me");
    EXPECT_EQ(read->attachments, QStringList{dir.filePath("voice (2).mp3")});
    EXPECT_EQ(readFile(dir.filePath("voice (2).mp3")), "new");
}

TEST(MailReader, SenderNameIsTheDisplayNameOrTheAddress) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeFile(dir.filePath("named.eml"),
                          crlf("From: =?UTF-8?B?5bGx55SwIOWkqumDjg==?= <taro@example.jp>\n"
                               "Date: Sun, 06 Dec 2026 10:00:00 +0900\n\nx\n")));
    ASSERT_TRUE(writeFile(dir.filePath("bare.eml"), crlf("From: taro@example.jp\n\nx\n")));
    const Expected<ReceivedMail> named = readMailFile("named.eml", dir.path());
    const Expected<ReceivedMail> bare = readMailFile("bare.eml", dir.path());
    ASSERT_TRUE(named.ok() && bare.ok());
    EXPECT_EQ(named->senderName, utf8("山田 太郎"));
    EXPECT_EQ(named->date, "Sun, 06 Dec 2026 10:00:00 +0900");
    EXPECT_EQ(bare->senderName, "taro@example.jp");
    EXPECT_EQ(bare->from, "taro@example.jp");
}

TEST(MailReader, FailuresGiveAReason) {
    QTemporaryDir dir;
    const Expected<ReceivedMail> missing = readMailFile("nothing.eml", dir.path());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.failure().kind, FailureKind::NotFound);
    EXPECT_TRUE(missing.failure().reason.contains(utf8("見つかりません")));

    ASSERT_TRUE(writeFile(dir.filePath("m.eml"),
                          crlf("Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n"
                               "--b\nContent-Type: audio/mpeg; name=v.mp3\n\nx\n--b--\n")));
    ASSERT_TRUE(writeFile(dir.filePath("empty.eml"), ""));
    const Expected<ReceivedMail> empty = readMailFile("empty.eml", dir.path());
    EXPECT_TRUE(!empty.ok() || (empty->body.isEmpty() && empty->attachments.isEmpty()));

    const Expected<ReceivedMail> noFolder =
        readMailFile(dir.filePath("m.eml"), dir.filePath("no-such-folder"));
    ASSERT_FALSE(noFolder.ok());
    EXPECT_TRUE(noFolder.failure().reason.contains(utf8("メールフォルダー")));
}

TEST(MailReader, TwentyMegabyteAttachmentIsStreamedToDisk) {
    QTemporaryDir dir;
    constexpr int kChunk = 57 * 1024;  // whole base64 lines per chunk
    constexpr int kChunks = 20 * 1024 * 1024 / kChunk + 1;
    QCryptographicHash expected(QCryptographicHash::Sha256);
    {
        QFile mail(dir.filePath("big.eml"));
        ASSERT_TRUE(mail.open(QIODevice::WriteOnly));
        mail.write(
            crlf("From: a@example.jp\nSubject: big\n"
                 "Content-Type: multipart/mixed; boundary=b\n\n"
                 "--b\nContent-Type: text/plain\n\nsee attachment\n"
                 "--b\nContent-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=big.mp3\n"
                 "Content-Transfer-Encoding: base64\n\n"));
        quint32 seed = 12345;
        QByteArray chunk(kChunk, Qt::Uninitialized);
        for (int c = 0; c < kChunks; ++c) {
            for (char& byte : chunk) {
                seed = seed * 1664525u + 1013904223u;
                byte = static_cast<char>(seed >> 24);
            }
            expected.addData(chunk);
            const QByteArray encoded = chunk.toBase64();
            for (qsizetype at = 0; at < encoded.size(); at += 76)
                mail.write(encoded.mid(at, 76) + "\r\n");
        }
        mail.write("--b--\r\n");
    }
    QString savedPath;
    const long grownKiB = peakGrowthKiB([&] {
        const Expected<ReceivedMail> read = readMailFile("big.eml", dir.path());
        return read.ok() && read->attachments.size() == 1;
    });
    ASSERT_GE(grownKiB, 0) << "the read failed";
    const Expected<ReceivedMail> again = readMailFile("big.eml", dir.path());
    ASSERT_TRUE(again.ok()) << again.failure().reason.toStdString();
    ASSERT_EQ(again->attachments.size(), 1);

    QFile saved(again->attachments.first());
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.size(), qint64{kChunk} * kChunks);
    QCryptographicHash actual(QCryptographicHash::Sha256);
    actual.addData(&saved);
    EXPECT_EQ(actual.result(), expected.result());
    // Holding the attachment even once would add 20 MB.
    EXPECT_LT(grownKiB, 8 * 1024) << "peak memory grew by " << grownKiB << " KiB";
}

}  // namespace
}  // namespace orvane::mail
