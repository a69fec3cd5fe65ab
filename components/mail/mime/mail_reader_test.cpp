#include "mail_reader.h"
#include "mail_corpus_test_support.h"

#include <QDir>
#include <QFileInfo>

namespace orvane::mail {
namespace {

using namespace test;

TEST_P(MailCorpus, ReadsEveryFieldExactly) {
    const CorpusRow& row = GetParam();
    ASSERT_TRUE(writeFile(dir.filePath("mail.eml"), row.mail));

    const Expected<ReceivedMail> read = readMailFile("mail.eml", dir.path());
    ASSERT_TRUE(read.ok()) << read.failure().reason.toStdString();
    EXPECT_EQ(read->subject.toStdString(), std::string(row.subject));
    EXPECT_EQ(read->from.toStdString(), std::string(row.from));
    const std::string from = row.from;
    EXPECT_EQ(read->senderName.toStdString(), from.substr(0, from.rfind(" <")));
    EXPECT_EQ(read->body.toStdString(), std::string(row.body));
    ASSERT_EQ(read->attachments.size(), static_cast<qsizetype>(row.attachments.size()));
    for (size_t i = 0; i < row.attachments.size(); ++i) {
        const QString path = read->attachments[static_cast<qsizetype>(i)];
        EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(dir.path()).absolutePath());
        EXPECT_EQ(QFileInfo(path).fileName().toStdString(),
                  std::string(row.attachments[i].fileName));
        EXPECT_TRUE(readFile(path) == row.attachments[i].content) << row.attachments[i].fileName;
    }
}

const QByteArray kMp3 = mp3Like(300);

INSTANTIATE_TEST_SUITE_P(
    Ordinary, MailCorpus,
    testing::Values(
        row("utf8_base64", "会議の件", "山田 太郎 <taro@example.jp>",
            "明日の会議は10時から。\nよろしく-お願い_します。\n",
            crlf("From: =?UTF-8?B?5bGx55SwIOWkqumDjg==?= <taro@example.jp>\n"
                 "Subject: =?UTF-8?B?5Lya6K2w44Gu5Lu2?=\n"
                 "Content-Type: text/plain; charset=UTF-8\n"
                 "Content-Transfer-Encoding: base64\n\n" +
                 QByteArray("明日の会議は10時から。\nよろしく-お願い_します。\n").toBase64() +
                 "\n")),
        row("iso2022jp_with_circled_digits", "①〜", "山田 太郎 <t@example.jp>", "②〜こんにちは\n",
            crlf("From: =?ISO-2022-JP?B?GyRCOzNFRBsoQiAbJEJCQE86GyhC?= <t@example.jp>\n"
                 "Subject: =?ISO-2022-JP?B?GyRCLSEhQRsoQg==?=\n"
                 "Content-Type: text/plain; charset=ISO-2022-JP\n\n"
                 "\x1b$B-\"!A$3$s$K$A$O\x1b(B\n")),
        row("html_only", "html", "a@example.jp", "A & B <= 日\n日本\nsecond line",
            mail("html",
                 "Content-Type: text/html; charset=utf-8\n"
                 "Content-Transfer-Encoding: quoted-printable\n\n"
                 "<html><head><title>t</title><style>p{color:red}</style></head>\n"
                 "<body><script>alert(1)</script><p>A &amp; B &lt;=3D &#x65E5;</p>\n"
                 "<div>=E6=97=A5=E6=9C=AC<br>second&nbsp;line</div></body></html>\n")),
        row("nested_multipart_with_japanese_rfc2231_name", "nested", "a@example.jp", "plain part",
            mixedMail("nested",
                      {"Content-Type: multipart/alternative; boundary=i\n\n"
                       "--i\nContent-Type: text/html; charset=utf-8\n\n<p>html part</p>\n"
                       "--i\nContent-Type: text/plain; charset=utf-8\n\nplain part\n--i--",
                       "Content-Type: audio/mpeg\nContent-Disposition: attachment;\n filename*="
                       "UTF-8''%E9%9F%B3%E5%A3%B0%E3%83%A1%E3%83%83%E3%82%BB%E3%83%BC%E3%82%B8.mp3"
                       "\nContent-Transfer-Encoding: base64\n\n" +
                           kMp3.toBase64()}),
            {{"音声メッセージ.mp3", kMp3}}),
        row("empty_plain_alternative_falls_back_to_html", "alt", "a@example.jp", "only \"here\"",
            mail("alt",
                 "Content-Type: multipart/alternative; boundary=b\n\n"
                 "--b\nContent-Type: text/plain; charset=utf-8\n\n\n"
                 "--b\nContent-Type: text/html; charset=utf-8\n\n<p>only &quot;here&quot;</p>\n"
                 "--b--\n")),
        row("names_that_try_to_leave_the_folder", "evil", "a@example.jp", "body",
            mixedMail(
                "evil",
                {"Content-Type: text/plain\n\nbody",
                 "Content-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=\"../../evil.mp3\"\n\none",
                 "Content-Type: audio/mpeg\nContent-Disposition: attachment; filename=\"\""
                 "\n\nthree",
                 "Content-Type: application/octet-stream; name=\"..\"\n\nfive",
                 "Content-Type: audio/mpeg\n"
                 "Content-Disposition: attachment; filename=\"..\\\\..\\\\evil.mp3\"\n\nsix"}),
            {{"evil.mp3", "one"},
             {"attachment.mp3", "three"},
             {"attachment.bin", "five"},
             {"evil (2).mp3", "six"}}),
        row("forwarded_message_saved_whole", "fwd", "a@example.jp", "see below",
            mixedMail("fwd", {"Content-Type: text/plain\n\nsee below",
                              "Content-Type: message/rfc822\n\nSubject: inner\n\ninner body"}),
            {{"attachment.eml", "Subject: inner\n\ninner body"}}),
        row("missing_headers", "", "", "こん\n", crlf("\n" + hex("82B182F1") + "\n")),
        row("broken_base64", "b64", "a@example.jp", "日本語です。",
            mail("b64",
                 "Content-Type: text/plain; charset=utf-8\n"
                 "Content-Transfer-Encoding: base64\n\n5pel5pys6Kqe!!\n44Gn44GZ*\n44CC"))),
    RowName{});

TEST(MailReader, FailuresNameWhatIsMissing) {
    QTemporaryDir dir;
    const Expected<ReceivedMail> missing = readMailFile("nothing.eml", dir.path());
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.failure().kind, FailureKind::NotFound);
    EXPECT_TRUE(missing.failure().reason.contains(utf8("見つかりません")));

    // Attachments need the mail folder.
    ASSERT_TRUE(writeFile(dir.filePath("m.eml"), voiceMail("v")));
    const Expected<ReceivedMail> noFolder = readMailFile(dir.filePath("m.eml"), dir.filePath("x"));
    ASSERT_FALSE(noFolder.ok());
    EXPECT_EQ(noFolder.failure().kind, FailureKind::NotFound);
    EXPECT_TRUE(noFolder.failure().reason.contains(utf8("メールフォルダー ") + dir.filePath("x")))
        << noFolder.failure().reason.toStdString();
}

TEST(MailReader, TwentyMegabyteAttachmentIsStreamedToDisk) {
    QTemporaryDir dir;
    const QByteArray voice = mp3Like(20 * 1024 * 1024);
    ASSERT_TRUE(writeFile(dir.filePath("big.eml"), voiceMail(voice)));
    const long grownKiB = peakGrowthKiB([&] {
        const Expected<ReceivedMail> read = readMailFile("big.eml", dir.path());
        return read.ok() && read->attachments.size() == 1;
    });
    ASSERT_GE(grownKiB, 0) << "the read failed";
    // Holding the attachment even once would add 20 MB.
    EXPECT_LT(grownKiB, 8 * 1024) << "peak memory grew by " << grownKiB << " KiB";
    const Expected<ReceivedMail> again = readMailFile("big.eml", dir.path());
    ASSERT_TRUE(again.ok()) << again.failure().reason.toStdString();
    ASSERT_EQ(again->attachments.size(), 1);
    EXPECT_TRUE(readFile(again->attachments.first()) == voice);
}

}  // namespace
}  // namespace orvane::mail
