#include "message_composer.h"
#include "mime_test_support.h"

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
    const QByteArray composed = composeMessage(pinnedVoiceMail(voice));
    const QString golden = QStringLiteral(MIME_TESTDATA_DIR "/voice_mail.golden.eml");
    if (qEnvironmentVariableIsSet("ORVANE_UPDATE_GOLDEN")) {
        ASSERT_TRUE(writeFile(golden, composed));
    }
    EXPECT_EQ(composed.toStdString(), readFile(golden).toStdString());
}

TEST(MessageComposer, UsesCrlfLineEndingsOnly) {
    const QByteArray composed = composeMessage(pinnedVoiceMail({}));
    ASSERT_FALSE(composed.isEmpty());
    for (qsizetype i = 0; i < composed.size(); ++i)
        if (composed[i] == '\n') {
            ASSERT_TRUE(i > 0 && composed[i - 1] == '\r') << "bare LF at " << i;
        }
    EXPECT_TRUE(composed.contains("MIME-Version: 1.0\r\n"));
    EXPECT_TRUE(composed.contains("Message-Id: <20261206193005.golden@example.jp>\r\n") ||
                composed.contains("Message-ID: <20261206193005.golden@example.jp>\r\n"));
    EXPECT_TRUE(composed.contains("Date: Sun, 06 Dec 2026 19:30:05 +0900\r\n"));
}

TEST(MessageComposer, UnreadableAttachmentIsAnError) {
    QString error;
    EXPECT_TRUE(composeMessage(pinnedVoiceMail("/no/such/voice.mp3"), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace orvane::mail
