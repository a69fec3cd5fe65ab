// INS in the body of the real main window, with a stand-in recorder in the
// program folder: the recording, the keys typed meanwhile and the send after it.
#include "window_test_support.h"

#include "fake_mail_component.h"
#include "voice_recording.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

void putRecorder(const MailerHome& home, const QByteArray& behaviour) {
    ASSERT_TRUE(QDir(home.dir.path()).mkpath("trelcap28"));
    QFile script(home.dir.filePath(kRecorderPath));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nfor a; do last=\"$a\"; done\n" + behaviour);
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class VoiceWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        home.addAccount("", "me@example.jp");
        home.start();
        ASSERT_NE(home.mailFake, nullptr);
        body = home.control<QTextEdit>("body");
        mic = home.control<QLabel>("mic");
        ASSERT_NE(body, nullptr);
        ASSERT_NE(mic, nullptr);
        EXPECT_TRUE(mic->isHidden());
    }

    // Ctrl+N, a recipient, a subject, then the body.
    void composeUpToTheBody() {
        QTest::keyClick(home.window.get(), Qt::Key_N, Qt::ControlModifier);
        auto* mailto = home.control<QLineEdit>("mailto");
        auto* subject = home.control<QLineEdit>("subject");
        ASSERT_TRUE(QTest::qWaitFor([&] { return mailto->hasFocus(); }, 2000));
        QTest::keyClicks(mailto, "tanaka@example.jp");
        QTest::keyClick(mailto, Qt::Key_Tab);
        ASSERT_TRUE(QTest::qWaitFor([&] { return subject->hasFocus(); }, 2000));
        QTest::keyClicks(subject, "voice");
        QTest::keyClick(subject, Qt::Key_Tab);
        ASSERT_TRUE(QTest::qWaitFor([&] { return body->hasFocus(); }, 2000));
    }

    // The attachment of the last SendMail call.
    QString sentAttachment() const {
        for (auto call = home.mailFake->calls.rbegin(); call != home.mailFake->calls.rend();
             ++call) {
            if (call->method == "SendMail") {
                return call->args[5];
            }
        }
        ADD_FAILURE() << "nothing was sent";
        return {};
    }

    MailerHome home;
    QTextEdit* body = nullptr;
    QLabel* mic = nullptr;
};

TEST_F(VoiceWindow, InsRecordsKeysTypedMeanwhileFollowAndEscSendsTheVoice) {
    putRecorder(home, "sleep 1\nprintf 'ID3 voice' > \"$last.mp3\"\n");
    composeUpToTheBody();
    // Typed while the recorder runs: held, then written in order, never lost.
    QTimer::singleShot(300, body, [this] { QTest::keyClicks(body, "xyz"); });
    QTest::keyClick(body, Qt::Key_Insert);

    EXPECT_EQ(home.mailFake->sleeps, QList<int>{7});
    EXPECT_TRUE(mic->isHidden());
    EXPECT_EQ(home.spoken().last(), "音声録音が終了しました。[ＥＳＣ]でメールされます");
    EXPECT_TRUE(QTest::qWaitFor([&] { return body->toPlainText().startsWith("xyz"); }, 3000))
        << body->toPlainText().toStdString();

    const QString voice =
        home.window->state().programFolder + "/" + home.window->state().voice_file_base + ".mp3";
    ASSERT_TRUE(QFile::exists(voice));
    QTest::keyClick(body, Qt::Key_Escape);
    EXPECT_EQ(sentAttachment(), voice);
    EXPECT_EQ(home.spoken().last(),
              "音声添付ファイル付きでメールをtanaka@example.jpへ送信しました");
    EXPECT_FALSE(QFile::exists(voice));
}

}  // namespace
