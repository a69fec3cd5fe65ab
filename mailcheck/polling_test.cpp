#include "polling.h"

#include "announcer.h"
#include "checker_test_support.h"
#include "fake_mail_component.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailcheck;
using namespace std::chrono_literals;

namespace {

mail::ReceivedMail mailFrom(const QString& sender, const QString& subject,
                            const QStringList& attachments = {}) {
    mail::ReceivedMail mail;
    mail.senderName = mail.from = sender;
    mail.subject = subject;
    mail.attachments = attachments;
    return mail;
}

class PollingTest : public ::testing::Test {
  protected:
    PollingTest() {
        options.pauseBeforeClip = 30ms;
        options.queueCheckInterval = 5ms;
        options.openExternally = [this](const QString& path) {
            openedExternally << path;
            return true;
        };
        polling = std::make_unique<Polling>(mailFake, voice, announcer, mailDir.path(), options);
        polling->setLogin({"pop3://127.0.0.1:1100", "user", "secret"});
    }

    // A file in the mail folder, as the component would have saved it.
    QString saved(const QString& name) {
        const QString path = mailDir.filePath(name);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("x") == 1 ? path : QString();
    }
    QStringList filesLeft() const { return QDir(mailDir.path()).entryList(QDir::Files); }

    // One pass with one mail from `mail`, run to its end.
    void checkOneMail(const Expected<mail::ReceivedMail>& mail) {
        mailFake.rcvAnswers = {QStringList{saved("m.eml")}};
        mailFake.readAnswers = {mail};
        QSignalSpy finished(polling.get(), &Polling::passFinished);
        polling->check_mail();
        ASSERT_TRUE(finished.wait(5000));
    }
    // Ticks until one starts a check, lets it finish and tells how many it took.
    int ticksUntilCheck() {
        QSignalSpy finished(polling.get(), &Polling::passFinished);
        int ticks = 1;
        for (polling->Timer1_Timer(); !polling->running() && ticks < 10; ++ticks) {
            polling->Timer1_Timer();
        }
        EXPECT_TRUE(finished.wait(5000));
        return ticks;
    }

    QTemporaryDir mailDir;
    mail::FakeMailComponent mailFake;
    test::RecordingVoice voice;
    Announcer announcer{voice};
    PollingOptions options;
    QStringList openedExternally;
    std::unique_ptr<Polling> polling;
};

// A server that cannot be reached is told once, and once more when it answers again,
// with the mail that waited.
TEST_F(PollingTest, ChecksWhenTheTickCountReachesTheLimitAndTellsTroubleOnce) {
    const Failure refused{FailureKind::Unreachable, QStringLiteral("接続できません")};
    mailFake.rcvAnswers = {refused, refused, QStringList{saved("m.eml")}, QStringList()};
    mailFake.readAnswers = {mailFrom(QStringLiteral("山田"), QStringLiteral("会議"), {})};
    polling->setTickLimit(3);  // 1.5 minutes
    EXPECT_EQ(ticksUntilCheck(), 3);
    EXPECT_EQ(ticksUntilCheck(), 3) << "the count starts again after a check";
    polling->setTickLimit(0);
    EXPECT_EQ(ticksUntilCheck(), 1);
    EXPECT_EQ(ticksUntilCheck(), 1);
    // Between the two notices, and after them with nothing new, the character stays hidden.
    EXPECT_EQ(voice.events,
              QStringList({"show", "speak:メールを確認できません：接続できません", "hide", "hide",
                           "show", "speak:メールを確認できるようになりました", "hide", "show",
                           "speak:メールが届いています", "speak:差出人 山田、件名 会議", "hide",
                           "hide"}));
}

// The first mail is announced, its voice played after a pause and every saved file removed once
// the voice has been heard; meanwhile no second pass starts.
TEST_F(PollingTest, AnnouncesTheFirstMailPlaysItsVoiceAndRemovesEverySavedFileOnceHeard) {
    const QStringList files = {saved("1.eml"), saved("2.eml"), saved("3.eml")};
    // Only a name ending in ".mp3", in that case, is a voice; the first such is played.
    const QString voiceClip = saved("voice.mp3");
    mailFake.rcvAnswers = {files};
    mailFake.readAnswers = {
        mailFrom(QStringLiteral("山田"), QStringLiteral("会議"),
                 {saved("x.mp3.exe"), saved("VOICE.MP3"), voiceClip, saved("later.mp3")})};
    voice.queueIdle = false;  // the clip goes on playing

    QSignalSpy finished(polling.get(), &Polling::passFinished);
    polling->check_mail();
    // The notice and the mail are out before the pause; the clip only after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return voice.spoken().size() == 2; }, 5000));
    EXPECT_TRUE(voice.events.filter("play:").isEmpty());
    // The pass has found the clip still playing a few times.
    ASSERT_TRUE(QTest::qWaitFor([&] { return voice.idleAsked >= 3; }, 5000));
    polling->setTickLimit(0);
    polling->Timer1_Timer();
    polling->check_mail();
    EXPECT_TRUE(QFile::exists(voiceClip));
    EXPECT_TRUE(finished.isEmpty());

    voice.queueIdle = true;
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(voice.events,
              QStringList({"show", "speak:メールが届いています",
                           "speak:差出人 山田、件名 会議、ほか2通", "play:" + voiceClip, "hide"}));
    EXPECT_EQ(mailFake.calls.size(), 2) << "one RcvMail and its ReadMail";
    EXPECT_EQ(mailFake.calls[1].args.first(), files.first());
    EXPECT_TRUE(openedExternally.isEmpty());
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(", ").toStdString();
}

TEST_F(PollingTest, AClipThatCannotBeDecodedGoesToTheDesktopAndStays) {
    voice.decodes = false;
    checkOneMail(mailFrom("a", "b", {saved("voice.mp3")}));
    EXPECT_EQ(openedExternally, QStringList{mailDir.filePath("voice.mp3")});
    EXPECT_EQ(filesLeft(), QStringList{"voice.mp3"});
}

TEST_F(PollingTest, AnUnreadableMailIsStillToldAndItsFileRemoved) {
    checkOneMail(Failure{FailureKind::BadInput, QStringLiteral("メールを読めません")});
    EXPECT_EQ(voice.spoken(), QStringList({"メールが届いています", "メールを読めません"}));
    EXPECT_EQ(voice.events.last(), "hide");
    EXPECT_TRUE(filesLeft().isEmpty());
}

}  // namespace
