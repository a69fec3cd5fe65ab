// Composing, recording and sending through the keys of the real main window
// and the real mail component, to the SMTP sink on 127.0.0.1 with STARTTLS and
// AUTH.
#include "compose_test_support.h"

#include "mail_client.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"

#include <QJsonArray>
#include <QLabel>
#include <QTimer>

using namespace orvane;
using namespace orvane::mailer;
using namespace orvane::mailer::test;
using mail::test::certificate;
using mail::test::loopback;

namespace {

// The real component; its pauses only note what the user has by then.
class UnpausedClient : public mail::MailClient {
  public:
    explicit UnpausedClient(std::function<void(int)> pause)
        : MailClient(mail::test::quickOptions()), pause_(std::move(pause)) {}
    void sleep(int seconds) override { pause_(seconds); }

  private:
    std::function<void(int)> pause_;
};

class ComposeServer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificate().ok()) << certificate().error().toStdString();
        ASSERT_TRUE(sink.start()) << sink.error().toStdString();
    }

    // A window whose current account sends through `smtp`; its POP server is
    // down, so the login before sending fails and is passed over.
    MailerHome& start(const QString& smtp) {
        home.reset();  // one home at a time: each sets and clears ORVANE_HOME
        home = std::make_unique<MailerHome>();
        home->createComponent = [this] {
            return std::make_unique<UnpausedClient>([this](int seconds) {
                // Before a recording: announced, the microphone shown.
                inPause << QString::number(seconds) << home->spoken().last()
                        << (mic()->isVisible() ? "mic" : "no mic");
            });
        };
        home->store().insertAccount({loopback(orvane::testing::freeLoopbackPort()), smtp,
                                     "testuser", "testpass", "yamada@example.jp", "やまだ",
                                     "表題"});
        home->store().setCurrentAccount(home->store().accounts().front().id);
        home->store().setSignature("山田太郎\nyamada@example.jp");
        home->store().addAddress("田中花子", "tanaka@example.jp");
        putRecorder(home->dir.path(), "sleep 1\nprintf 'ID3 a recorded voice' > \"$last.mp3\"\n");
        home->start();
        return *home;
    }

    // Ctrl+N, a partial address, a subject and a body as a user types them;
    // ENTER reads the mail back; INS records while the user types on; ESC.
    void composeRecordAndSend(const QString& typedTo) {
        auto* mailto = home->control<QLineEdit>("mailto");
        auto* subject = home->control<QLineEdit>("subject");
        auto* body = home->control<QTextEdit>("body");
        QTest::keyClick(home->window.get(), Qt::Key_N, Qt::ControlModifier);
        ASSERT_TRUE(waitForFocus(mailto));
        typeText(mailto, typedTo);
        QTest::keyClick(mailto, Qt::Key_Tab);
        ASSERT_TRUE(waitForFocus(subject));
        typeText(subject, "打ち合わせの件");
        QTest::keyClick(subject, Qt::Key_Tab);
        ASSERT_TRUE(waitForFocus(body));
        typeText(body, "明日十時に伺います。");
        QTest::keyClick(body, Qt::Key_Return);
        QTimer::singleShot(300, body, [body] { QTest::keyClicks(body, "PS"); });
        QTest::keyClick(body, Qt::Key_Insert);
        ASSERT_TRUE(QTest::qWaitFor([&] { return body->toPlainText().contains("PS"); }, 3000));
        QTest::keyClick(body, Qt::Key_Escape);
    }
    QLabel* mic() const { return home->control<QLabel>("mic"); }
    QString voiceFile() const {
        const MailerState& state = home->window->state();
        return state.programFolder + "/" + state.voice_file_base + ".mp3";
    }

    orvane::testing::SmtpSinkServer sink{{certificate().certFile(), certificate().keyFile(), true}};
    std::unique_ptr<MailerHome> home;
    QStringList inPause;
};

TEST_F(ComposeServer, CtrlNToEscSpeaksEachStepAndTheServerReceivesExactlyThatMailWithItsVoice) {
    start(loopback(sink.port()));
    auto* mailto = home->control<QLineEdit>("mailto");
    auto* guide = home->control<QLabel>("shortcut02");
    const qsizetype mark = home->spoken().size();
    QTest::keyClick(home->window.get(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(mailto));
    EXPECT_EQ(guide->text(), "[TAB:次 ]");
    typeText(mailto, "left over");
    // Ctrl+N again, in the recipient field itself, starts over.
    composeRecordAndSend("tan");
    EXPECT_EQ(guide->text(), "[INS:音声録音 ENTER:作成したメールの確認 ESC:メール送信 ]");
    EXPECT_EQ(inPause, (QStringList{"7", "音声30秒　録音開始", "mic"}));
    EXPECT_TRUE(mic()->isHidden());
    EXPECT_FALSE(mic()->pixmap().isNull());
    // Written on the empty first line, above the signature; the keys typed
    // during the recording were held and written after it, in order.
    const QString typed = "明日十時に伺います。\nPS\n山田太郎\nyamada@example.jp";
    EXPECT_EQ(home->control<QTextEdit>("body")->toPlainText(), typed);
    QTest::keyClick(home->control<QTextEdit>("body"), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(
        home->spokenSince(mark),
        (QStringList{
            "送信先を入力してください", "送信先を入力してください", "田中花子",
            "[送信先アドレスは]tanaka@example.jp", "メール件名を入力してください",
            "件名は打ち合わせの件", "メール本文を入力してください",
            // ENTER reads back the mail as it was before the key.
            "作成したメールの確認", "送信先tanaka@example.jp", "件名打ち合わせの件",
            "本文明日十時に伺います。\\n山田太郎\\nyamada@example.jp", "音声30秒　録音開始",
            "音声録音が終了しました。[ＥＳＣ]でメールされます", "メールを送信します",
            "音声添付ファイル付きでメールをtanaka@example.jpへ送信しました", "本文は33文字です"}))
        << home->spoken().join(" | ").toStdString();

    const auto captured = sink.captured();
    ASSERT_EQ(captured.size(), 1) << home->spoken().join(" | ").toStdString();
    const auto& sent = captured.first();
    EXPECT_EQ(sent.envelope.value("rcpt_tos").toArray(), QJsonArray{"tanaka@example.jp"});
    EXPECT_EQ(sent.envelope.value("mail_from").toString(), "yamada@example.jp");
    EXPECT_EQ(sent.envelope.value("login").toString(), "testuser");
    EXPECT_TRUE(sent.envelope.value("tls").toBool());
    EXPECT_TRUE(sent.message.contains("Content-Type: audio/mpeg"));

    // The captured message as the mail component reads it back.
    const QString eml = home->dir.filePath("sent.eml");
    QFile file(eml);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(sent.message);
    file.close();
    const auto mail = mail::MailClient(mail::test::quickOptions()).readMail(eml, home->mailDir());
    ASSERT_TRUE(mail.ok()) << mail.failure().reason.toStdString();
    EXPECT_EQ(mail->subject, "打ち合わせの件");
    EXPECT_EQ(mail->from, "yamada@example.jp");
    EXPECT_EQ(mail->body.trimmed(), typed);
    ASSERT_EQ(mail->attachments.size(), 1);
    EXPECT_TRUE(mail->attachments.first().endsWith(".mp3"));
    EXPECT_EQ(mail::test::readFile(mail->attachments.first()), "ID3 a recorded voice");

    EXPECT_FALSE(QFile::exists(voiceFile()));
    EXPECT_FALSE(home->window->state().voice_attached);
    // Nothing is cleared and nothing is stored.
    EXPECT_EQ(mailto->text(), "tanaka@example.jp");
    EXPECT_EQ(home->control<QLineEdit>("subject")->text(), "打ち合わせの件");
    EXPECT_EQ(home->store().mailCount(kReceivedFolder), 0);
}

TEST_F(ComposeServer, ARefusedOrUnreachableSendIsSaidAndKeepsEverything) {
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
        start(row.smtp);
        composeRecordAndSend(row.typedTo);

        const QString said = home->spoken().last();
        EXPECT_TRUE(said.startsWith("メールを送信できませんでした：")) << said.toStdString();
        EXPECT_TRUE(said.contains(row.reasonPart)) << said.toStdString();
        EXPECT_EQ(home->control<QLabel>("cmd_message")->text(), said);
        EXPECT_FALSE(home->spoken().join('|').contains("送信しました"));
        EXPECT_EQ(home->control<QLineEdit>("subject")->text(), "打ち合わせの件");
        EXPECT_TRUE(home->control<QTextEdit>("body")->toPlainText().startsWith("明日十時に"));
        EXPECT_TRUE(QFile::exists(voiceFile()));
        EXPECT_TRUE(home->window->state().voice_attached);

        // A voice file gone before the next send is said; that send is not made
        // and the recording is no longer counted as attached.
        ASSERT_TRUE(QFile::remove(voiceFile()));
        EXPECT_EQ(press(*home, home->control<QTextEdit>("body"), Qt::Key_Escape).value(1),
                  "メールを送信できませんでした：録音した音声ファイルが見つかりません。"
                  "もう一度録音するか、ESCで音声なしで送信してください");
        EXPECT_FALSE(home->window->state().voice_attached);
    }
    EXPECT_TRUE(sink.captured().isEmpty());
}

}  // namespace
