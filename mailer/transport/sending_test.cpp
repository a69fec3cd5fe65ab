#include "sending.h"
#include "compose_test_support.h"
#include "fake_mail_component.h"

#include <QFile>

using namespace orvane;
using namespace orvane::mailer;

namespace {

class SendingTest : public ComposeTest {
  protected:
    SendingTest() {
        makeCurrent(account("smtp.example.jp", "pop.example.jp"));
        state.voice_file_base = "orvane-testuser-20240501093000";
    }
    void recordVoice() {
        QFile file(sending.voiceFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("ID3 voice");
        state.voice_attached = true;
    }
    QList<mail::FakeMailComponent::Call> sends() const {
        QList<mail::FakeMailComponent::Call> found;
        for (const auto& call : fake.calls) {
            if (call.method == "SendMail") {
                found << call;
            }
        }
        return found;
    }

    const ComposedMail mail{"hanako@example.jp", "会議の件", "明日です\n山田太郎"};
    mail::FakeMailComponent fake;
    Sending sending{announcer, state, fake};
};

TEST_F(SendingTest, OnlyAnAcceptedMailIsAnnouncedAsSentAndOnlyThenIsTheVoiceGone) {
    const Failure refused{FailureKind::Refused, "宛先が拒否されました"};
    struct Row {
        const char* name;
        bool voice;
        std::optional<Failure> failure;
        QString said;
    };
    const Row rows[] = {
        {"plain, accepted", false, std::nullopt, "メールをhanako@example.jpへ送信しました"},
        {"voice, accepted", true, std::nullopt,
         "音声添付ファイル付きでメールをhanako@example.jpへ送信しました"},
        {"plain, refused", false, refused, "メールを送信できませんでした：宛先が拒否されました"},
        {"voice, refused", true, refused, "メールを送信できませんでした：宛先が拒否されました"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fake.calls.clear();
        state.voice_attached = false;
        if (row.voice) {
            recordVoice();
        }
        if (row.failure) {
            fake.sendAnswers << Expected<void>(*row.failure);
        }
        const qsizetype before = mark();
        sending.send_msg(mail);

        EXPECT_EQ(spokenSince(before), (QStringList{"メールを送信します", row.said}));
        EXPECT_EQ(cmd_message->text(), row.said);
        ASSERT_EQ(sends().size(), 1);
        EXPECT_EQ(sends().first().args,
                  (QStringList{"smtp.example.jp", "hanako@example.jp", "yamada@example.jp",
                               "会議の件", "明日です\n山田太郎",
                               row.voice ? sending.voiceFilePath() : QString(), "testuser"}));
        const bool kept = row.voice && row.failure.has_value();
        EXPECT_EQ(QFile::exists(sending.voiceFilePath()), kept);
        EXPECT_EQ(state.voice_attached, kept);
    }
}

TEST_F(SendingTest, TheLoginBeforeSendingUsesTheCurrentAccountAndItsFailureStopsNothing) {
    AccountRow other = account("smtp.other.jp", "pop.other.jp");
    other.id = 2;
    other.cur = false;
    other.fields.account = "other";
    state.accounts.push_back(other);
    // A mail check left the working values at the last account polled.
    state.pop = {"pop.other.jp", "other", "secret"};
    fake.rcvAnswers << Expected<QStringList>(Failure{FailureKind::Unreachable, "接続できません"});

    sending.send_msg(mail);
    ASSERT_EQ(fake.calls.size(), 2);
    EXPECT_EQ(fake.calls[0].method, "RcvMail");
    EXPECT_EQ(fake.calls[0].args,
              (QStringList{"pop.example.jp", "testuser", "testpass", "LIST", state.mail_dir}));
    EXPECT_EQ(fake.calls[1].args.first(), "smtp.example.jp");
    EXPECT_EQ(spoken().last(), "メールをhanako@example.jpへ送信しました");
}

TEST_F(SendingTest, SendingTwiceSendsTheVoiceOnlyOnce) {
    recordVoice();
    sending.send_msg(mail);
    sending.send_msg(mail);
    ASSERT_EQ(sends().size(), 2);
    EXPECT_EQ(sends()[0].args[5], sending.voiceFilePath());
    EXPECT_EQ(sends()[1].args[5], "");
    EXPECT_EQ(spoken().last(), "メールをhanako@example.jpへ送信しました");
}

TEST_F(SendingTest, WhatCannotBeSentIsSaidAndNotTried) {
    struct Row {
        const char* name;
        ComposedMail mail;
        std::function<void()> arrange;
        QStringList said;
        bool flagAfter;
    };
    const Row rows[] = {
        {"no recipient: the send half of 送受信 stays silent",
         {"", "件名", "本文"},
         [] {},
         {},
         false},
        {"no current account",
         mail,
         [this] { state.current_account = 0; },
         {"メールを送信します",
          "メールを送信できませんでした：送信に使うアカウントが設定されていません"},
         false},
        {"the recorded file is gone: the next ESC sends without it",
         mail,
         [this] { state.voice_attached = true; },
         {"メールを送信します",
          "メールを送信できませんでした：録音した音声ファイルが見つかりません。"
          "もう一度録音するか、ESCで音声なしで送信してください"},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        makeCurrent(account("smtp.example.jp", "pop.example.jp"));
        state.voice_attached = false;
        fake.calls.clear();
        row.arrange();
        const qsizetype before = mark();
        sending.send_msg(row.mail);
        EXPECT_EQ(spokenSince(before), row.said);
        EXPECT_TRUE(sends().isEmpty());
        EXPECT_EQ(state.voice_attached, row.flagAfter);
    }
}

TEST_F(SendingTest, ReadingBackSpeaksEachPartOrWhatIsMissing) {
    qsizetype before = mark();
    sending.confirm_msg({"", "件名", "本文"});
    EXPECT_EQ(spokenSince(before), QStringList{"送信先が入力されていません"});

    before = mark();
    sending.confirm_msg(mail);
    EXPECT_EQ(spokenSince(before), (QStringList{"作成したメールの確認", "送信先hanako@example.jp",
                                                "件名会議の件", "本文明日です\\n山田太郎"}));
    EXPECT_TRUE(fake.calls.isEmpty());
}

}  // namespace
