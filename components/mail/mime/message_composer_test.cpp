#include "message_composer.h"
#include "mail_reader.h"
#include "mime_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

using test::readFile;
using test::utf8;
using test::writeFile;

const QByteArray kVoice =
    QByteArray("ID3\x03\x00\x00\x00\x00\x00\x0f", 10) + QByteArray(200, '\xfb');

OutgoingMessage pinnedVoiceMail(const QString& attachment) {
    OutgoingMessage m;
    m.from = QStringLiteral("hanako@example.jp");
    m.to = utf8("山田 太郎 <taro@example.jp>");
    m.subject = utf8("会議の件①〜 について、とても長い件名でも正しく折り返されること");
    m.body = utf8("\n明日の会議は10時からです。\nよろしくお願いします。\n-- \n花子");
    m.attachmentPath = attachment;
    m.date = QDateTime(QDate(2026, 12, 6), QTime(19, 30, 5), QTimeZone(9 * 3600));
    m.messageId = QStringLiteral("20261206193005.golden@example.jp");
    m.boundary = QStringLiteral("=-orvane-golden-boundary");
    return m;
}

TEST(MessageComposer, MatchesTheGoldenFile) {
    QTemporaryDir dir;
    const QString voice = dir.filePath(utf8("音声メッセージ.mp3"));
    ASSERT_TRUE(writeFile(voice, kVoice));
    const Expected<QByteArray> message = composeMessage(pinnedVoiceMail(voice));
    ASSERT_TRUE(message.ok()) << message.failure().reason.toStdString();
    const QByteArray& composed = *message;
    const QString golden = QStringLiteral(MIME_TESTDATA_DIR "/voice_mail.golden.eml");
    if (qEnvironmentVariableIsSet("ORVANE_UPDATE_GOLDEN")) {
        ASSERT_TRUE(writeFile(golden, composed));
    }
    EXPECT_EQ(composed.toStdString(), readFile(golden).toStdString());
    EXPECT_FALSE(QByteArray(composed).replace("\r\n", "").contains('\n')) << "a bare LF";
}

TEST(MessageComposer, UnreadableAttachmentIsAFailureWithAReason) {
    const Expected<QByteArray> message = composeMessage(pinnedVoiceMail("/no/such/voice.mp3"));
    ASSERT_FALSE(message.ok());
    EXPECT_EQ(message.failure().kind, FailureKind::NotFound);
    EXPECT_TRUE(message.failure().reason.contains(QStringLiteral("/no/such/voice.mp3")));
}

TEST(MessageComposer, LineBreaksInTheAttachmentNameCannotAddHeaders) {
    QTemporaryDir dir;
    const QString name = QStringLiteral("a\r\nX-Injected: yes\r\n\r\nbody.mp3");
    ASSERT_TRUE(writeFile(dir.filePath(name), kVoice));
    OutgoingMessage mail = pinnedVoiceMail(dir.filePath(name));
    mail.subject = QStringLiteral("plain\r\nBcc: someone@example.jp");
    const Expected<QByteArray> message = composeMessage(mail);
    ASSERT_TRUE(message.ok()) << message.failure().reason.toStdString();

    for (const QByteArray& line : message->split('\n')) {
        EXPECT_FALSE(line.startsWith("X-Injected")) << line.constData();
        EXPECT_FALSE(line.startsWith("Bcc:")) << line.constData();
        EXPECT_FALSE(line.startsWith("body.mp3")) << line.constData();
    }
    // Read back, the name arrives whole but for its line breaks.
    ASSERT_TRUE(writeFile(dir.filePath("sent.eml"), *message));
    QDir().mkpath(dir.filePath("in"));
    const Expected<ReceivedMail> read = readMailFile(dir.filePath("sent.eml"), dir.filePath("in"));
    ASSERT_TRUE(read.ok()) << read.failure().reason.toStdString();
    ASSERT_EQ(read->attachments.size(), 1);
    EXPECT_EQ(QFileInfo(read->attachments.first()).fileName(),
              QStringLiteral("aX-Injected_ yesbody.mp3"));
    EXPECT_EQ(readFile(read->attachments.first()), kVoice);
    EXPECT_EQ(read->subject, QStringLiteral("plainBcc: someone@example.jp"));
}

}  // namespace
}  // namespace orvane::mail
