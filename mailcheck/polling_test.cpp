#include "polling.h"

#include "announcer.h"
#include "checker_test_support.h"
#include "fake_mail_component.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailcheck;
using namespace std::chrono_literals;

namespace {

mail::ReceivedMail mailFrom(const QString& sender, const QString& subject,
                            QStringList attachments = {}) {
    mail::ReceivedMail mail;
    mail.senderName = sender;
    mail.from = sender;
    mail.subject = subject;
    mail.attachments = std::move(attachments);
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
        file.open(QIODevice::WriteOnly);
        file.write("x");
        return path;
    }
    QStringList filesLeft() const { return QDir(mailDir.path()).entryList(QDir::Files); }

    // Runs one pass to its end.
    void checkAndWait() {
        QSignalSpy finished(polling.get(), &Polling::passFinished);
        polling->check_mail();
        ASSERT_TRUE(finished.wait(5000));
    }

    QTemporaryDir mailDir;
    mail::FakeMailComponent mailFake;
    test::RecordingVoice voice;
    Announcer announcer{voice};
    PollingOptions options;
    QStringList openedExternally;
    std::unique_ptr<Polling> polling;
};

TEST_F(PollingTest, ChecksWhenTheTickCountReachesTheLimit) {
    polling->setTickLimit(3);  // 1.5 minutes
    mailFake.rcvAnswers = {QStringList(), QStringList()};
    QSignalSpy finished(polling.get(), &Polling::passFinished);
    QSignalSpy counted(polling.get(), &Polling::tickCountChanged);

    polling->Timer1_Timer();
    polling->Timer1_Timer();
    EXPECT_TRUE(mailFake.calls.isEmpty());
    polling->Timer1_Timer();
    ASSERT_TRUE(finished.wait(5000));
    ASSERT_EQ(mailFake.calls.size(), 1);
    EXPECT_EQ(mailFake.calls[0].args,
              QStringList({"pop3://127.0.0.1:1100", "user", "secret", "SAVEALL", mailDir.path()}));
    // The counter showed 1, 2, 3 and starts again from 1.
    polling->Timer1_Timer();
    EXPECT_EQ(counted.size(), 4);
    EXPECT_EQ(counted.last().at(0).toInt(), 1);

    // A shorter interval takes effect without resetting the count.
    polling->setTickLimit(2);
    polling->Timer1_Timer();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(mailFake.calls.size(), 2);
    // A limit of 0 checks on every tick.
    polling->setTickLimit(0);
    mailFake.rcvAnswers = {QStringList()};
    polling->Timer1_Timer();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(mailFake.calls.size(), 3);
    // Nothing new: the character stays hidden and silent.
    EXPECT_TRUE(voice.spoken().isEmpty());
    EXPECT_FALSE(voice.events.contains("show"));

    Polling unconfigured(mailFake, voice, announcer, mailDir.path(), options);
    for (int i = 0; i < 5; ++i) {
        unconfigured.Timer1_Timer();
    }
    EXPECT_EQ(mailFake.calls.size(), 3);
}

TEST_F(PollingTest, AnnouncesTheFirstMailPlaysItsVoiceAndRemovesEverySavedFile) {
    const QStringList files = {saved("1.eml"), saved("2.eml"), saved("3.eml")};
    const QString decoy = saved("x.mp3.exe");
    const QString voiceClip = saved("voice.mp3");
    const QString later = saved("later.mp3");
    mailFake.rcvAnswers = {files};
    mailFake.readAnswers = {
        mailFrom(QStringLiteral("山田"), QStringLiteral("会議"), {decoy, voiceClip, later})};

    QSignalSpy finished(polling.get(), &Polling::passFinished);
    polling->check_mail();
    // The notice and the mail are out before the pause; the clip only after it.
    ASSERT_TRUE(QTest::qWaitFor([&] { return voice.spoken().size() == 2; }, 5000));
    EXPECT_FALSE(voice.events.join('|').contains("play:"));
    ASSERT_TRUE(finished.wait(5000));

    EXPECT_EQ(voice.events,
              QStringList({"show", "speak:メールが届いています",
                           "speak:差出人 山田、件名 会議、ほか2通", "play:" + voiceClip, "hide"}));
    EXPECT_EQ(mailFake.calls.size(), 2);
    EXPECT_EQ(mailFake.calls[1].args.first(), files.first());
    EXPECT_TRUE(openedExternally.isEmpty());
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(", ").toStdString();
}

TEST_F(PollingTest, OnlyANameEndingInMp3IsAVoice) {
    struct Row {
        const char* name;
        QStringList attachments;
        const char* played;  // "" when nothing is played
    } rows[] = {
        {"merely_contains", {"x.mp3.exe", "a.mp3.txt"}, ""},
        {"upper_case", {"VOICE.MP3"}, ""},
        {"first_of_several", {"note.txt", "one.mp3", "two.mp3"}, "one.mp3"},
        {"no_attachment", {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        voice.events.clear();
        QStringList paths;
        for (const QString& name : row.attachments) {
            paths << saved(name);
        }
        mailFake.rcvAnswers = {QStringList{saved("m.eml")}};
        mailFake.readAnswers = {mailFrom("a", "b", paths)};
        checkAndWait();
        const QString expected = *row.played ? "play:" + mailDir.filePath(row.played) : QString();
        const QStringList plays = voice.events.filter("play:");
        EXPECT_EQ(plays, expected.isEmpty() ? QStringList() : QStringList{expected});
        EXPECT_TRUE(filesLeft().isEmpty());
    }
}

TEST_F(PollingTest, APlayedClipStaysUntilItHasBeenHeard) {
    const QString clip = saved("voice.mp3");
    mailFake.rcvAnswers = {QStringList{saved("m.eml")}};
    mailFake.readAnswers = {mailFrom("a", "b", {clip})};
    voice.queueIdle = false;
    QSignalSpy finished(polling.get(), &Polling::passFinished);
    polling->check_mail();
    ASSERT_TRUE(QTest::qWaitFor([&] { return voice.events.contains("hide"); }, 5000));
    // A due tick meets the running pass and does not start another.
    polling->setTickLimit(0);
    polling->Timer1_Timer();
    polling->check_mail();
    QTest::qWait(50);
    EXPECT_TRUE(QFile::exists(clip));
    EXPECT_TRUE(polling->running());
    EXPECT_EQ(finished.size(), 0);

    voice.queueIdle = true;
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_FALSE(QFile::exists(clip));
    EXPECT_EQ(std::count_if(mailFake.calls.begin(), mailFake.calls.end(),
                            [](const auto& call) { return call.method == "RcvMail"; }),
              1);
}

TEST_F(PollingTest, AClipThatCannotBeDecodedGoesToTheDesktopAndStays) {
    const QString clip = saved("voice.mp3");
    mailFake.rcvAnswers = {QStringList{saved("m.eml")}};
    mailFake.readAnswers = {mailFrom("a", "b", {clip})};
    voice.decodes = false;
    checkAndWait();
    EXPECT_EQ(openedExternally, QStringList{clip});
    EXPECT_EQ(filesLeft(), QStringList{"voice.mp3"});
}

TEST_F(PollingTest, AnUnreadableMailIsStillToldAndItsFileRemoved) {
    mailFake.rcvAnswers = {QStringList{saved("m.eml")}};
    mailFake.readAnswers = {Failure{FailureKind::BadInput, QStringLiteral("メールを読めません")}};
    checkAndWait();
    EXPECT_EQ(voice.spoken(), QStringList({"メールが届いています", "メールを読めません"}));
    EXPECT_EQ(voice.events.last(), "hide");
    EXPECT_TRUE(filesLeft().isEmpty());
}

}  // namespace
