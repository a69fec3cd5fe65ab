// Composing and sending through the real mail component to the SMTP sink on
// 127.0.0.1, with STARTTLS and AUTH.
#include "compose_test_support.h"
#include "mail_client.h"
#include "sending.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>

using namespace orvane;
using namespace orvane::mailer;
using mail::test::certificate;
using mail::test::loopback;

namespace {

class ComposeServerTest : public ComposeTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificate().ok()) << certificate().error().toStdString();
        ASSERT_TRUE(sink.start()) << sink.error().toStdString();
        ASSERT_TRUE(QDir().mkpath(state.mail_dir));
        // The POP server is down: the login before sending fails and is passed over.
        makeCurrent(account(loopback(sink.port()), loopback(orvane::testing::freeLoopbackPort())));
        state.voice_file_base = "orvane-testuser-20240501093000";
        store->addAddress("田中花子", "tanaka@example.jp");
        compose->onBodyKey([this](BodyKey key) {
            if (key == BodyKey::Escape) {
                sending.send_msg(compose->composed());
            }
        });
    }

    // Ctrl+N, a partial address, a subject and a body as a user types them, then ESC.
    void composeAndSend(const QString& typedTo) {
        ASSERT_TRUE(focusOn(mailList));
        compose->msg_create_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return mailto->hasFocus(); }, 2000));
        typeText(mailto, typedTo);
        ASSERT_TRUE(tabFrom(mailto, subject));
        typeText(subject, "打ち合わせの件");
        ASSERT_TRUE(tabFrom(subject, body));
        typeText(body, "明日十時に伺います。");
        QTest::keyClick(body, Qt::Key_Escape);
    }

    void recordVoice() {
        QFile file(sending.voiceFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kVoice);
        state.voice_attached = true;
    }

    // The captured message as the mail component reads it back.
    mail::ReceivedMail decoded(const QByteArray& message) {
        const QString path = QDir(state.mail_dir).filePath("sent.eml");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(message);
        file.close();
        auto read = client.readMail(path, state.mail_dir);
        EXPECT_TRUE(read.ok()) << read.failure().reason.toStdString();
        return read.ok() ? *read : mail::ReceivedMail{};
    }

    const QByteArray kVoice = QByteArray("ID3\x03\x00 a recorded voice", 22);
    orvane::testing::SmtpSinkServer sink{{certificate().certFile(), certificate().keyFile(), true}};
    mail::MailClient client{mail::test::quickOptions()};
    Sending sending{announcer, state, client};
};

TEST_F(ComposeServerTest, TheServerReceivesExactlyTheComposedMail) {
    recordVoice();
    composeAndSend("tan");

    const auto captured = sink.captured();
    ASSERT_EQ(captured.size(), 1);
    const auto& sent = captured.first();
    EXPECT_EQ(sent.envelope.value("rcpt_tos").toArray(), QJsonArray{"tanaka@example.jp"});
    EXPECT_EQ(sent.envelope.value("mail_from").toString(), "yamada@example.jp");
    EXPECT_EQ(sent.envelope.value("login").toString(), "testuser");
    EXPECT_TRUE(sent.envelope.value("tls").toBool());

    const mail::ReceivedMail mail = decoded(sent.message);
    EXPECT_EQ(mail.subject, "打ち合わせの件");
    EXPECT_EQ(mail.from, "yamada@example.jp");
    // Written on the empty first line, above the signature.
    EXPECT_EQ(mail.body.trimmed(), "明日十時に伺います。\n山田太郎\nyamada@example.jp");
    ASSERT_EQ(mail.attachments.size(), 1);
    EXPECT_TRUE(mail.attachments.first().endsWith(".mp3"));
    EXPECT_EQ(mail::test::readFile(mail.attachments.first()), kVoice);

    EXPECT_EQ(spoken().last(), "音声添付ファイル付きでメールをtanaka@example.jpへ送信しました");
    EXPECT_FALSE(QFile::exists(sending.voiceFilePath()));
    EXPECT_FALSE(state.voice_attached);
    // Nothing is cleared and nothing is stored.
    EXPECT_EQ(mailto->text(), "tanaka@example.jp");
    EXPECT_EQ(subject->text(), "打ち合わせの件");
    EXPECT_TRUE(store->mailsInFolder(kReceivedFolder).empty());
}

TEST_F(ComposeServerTest, ARefusedOrUnreachableSendIsSaidAndKeepsEverything) {
    struct Row {
        const char* name;
        QString typedTo;
        QString smtp;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"recipient refused", "reject@example.jp", loopback(sink.port()), "550"},
        {"server down", "tan", loopback(orvane::testing::freeLoopbackPort()), "接続できません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        state.accounts[0].fields.smtp = row.smtp;
        recordVoice();
        composeAndSend(row.typedTo);

        const QString said = spoken().last();
        EXPECT_TRUE(said.startsWith("メールを送信できませんでした：")) << said.toStdString();
        EXPECT_TRUE(said.contains(row.reasonPart)) << said.toStdString();
        EXPECT_EQ(cmd_message->text(), said);
        EXPECT_FALSE(spoken().join('|').contains("送信しました"));
        EXPECT_EQ(subject->text(), "打ち合わせの件");
        EXPECT_TRUE(body->toPlainText().startsWith("明日十時に伺います。"));
        EXPECT_TRUE(QFile::exists(sending.voiceFilePath()));
        EXPECT_TRUE(state.voice_attached);
    }
    EXPECT_TRUE(sink.captured().isEmpty());
}

}  // namespace
