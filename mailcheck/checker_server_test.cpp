// The checker against a real Dovecot on 127.0.0.1: what is spoken (in the transcript), what is
// played (in a private sound device), what stays on the server and in the mail folder.
#include "agent.h"
#include "agent_voice.h"
#include "announcer.h"
#include "checker_test_support.h"
#include "dovecot_server.h"
#include "mail_client.h"
#include "polling.h"
#include "virtual_sound.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailcheck;
using namespace std::chrono_literals;

namespace {

// A mail from `sender` about `subject` with attachments (file name, content).
QByteArray message(const QString& sender, const QString& subject,
                   const QList<std::pair<QString, QByteArray>>& attachments = {}) {
    QByteArray mail = "From: =?UTF-8?B?" + sender.toUtf8().toBase64() +
                      "?= <sender@example.jp>\r\nSubject: =?UTF-8?B?" +
                      subject.toUtf8().toBase64() +
                      "?=\r\nMIME-Version: 1.0\r\n"
                      "Content-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
                      "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nhello\r\n";
    for (const auto& [name, content] : attachments) {
        mail +=
            "--b1\r\nContent-Type: application/octet-stream\r\n"
            "Content-Transfer-Encoding: base64\r\n"
            "Content-Disposition: attachment; filename=\"" +
            name.toUtf8() + "\"\r\n\r\n";
        const QByteArray encoded = content.toBase64();
        for (qsizetype i = 0; i < encoded.size(); i += 76) {
            mail += encoded.mid(i, 76) + "\r\n";
        }
    }
    return mail + "--b1--\r\n";
}

// The checker's places over the real mail component and speech, no window.
class CheckerServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dovecot.start()) << dovecot.error().toStdString();
        ASSERT_TRUE(QDir(home.path()).mkpath("mail"));
        speech::Agent::Options agentOptions;
        agentOptions.transcriptPath = home.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(agentOptions);
        voice = std::make_unique<AgentVoice>(*agent);
        (void)voice->useCharacter("Genie");  // the built-in one stands in
        announcer = std::make_unique<Announcer>(*voice);
        PollingOptions options;
        options.pauseBeforeClip = 100ms;
        options.openExternally = [](const QString&) { return true; };  // never the desktop's
        polling = std::make_unique<Polling>(client, *voice, *announcer, mailDir(), options);
        polling->setLogin({pop(), dovecot.user(), dovecot.password()});
        polling->setTickLimit(0);
    }
    QString pop() const { return QStringLiteral("pop3://127.0.0.1:%1").arg(dovecot.pop3Port()); }
    QString mailDir() const { return home.filePath("mail"); }
    QStringList spoken() const { return test::transcriptTexts(home.filePath("transcript.txt")); }
    // Every file the checks left, hidden ones too, but the record of the mail already announced.
    QStringList filesLeft() const {
        QStringList left = QDir(mailDir()).entryList(QDir::Files | QDir::Hidden);
        left.removeIf([](const QString& name) { return name.startsWith(".seen-uidl-"); });
        return left;
    }
    // One due tick and the pass it starts, to its end.
    void tick() {
        QSignalSpy finished(polling.get(), &Polling::passFinished);
        polling->Timer1_Timer();
        ASSERT_TRUE(polling->running());
        ASSERT_TRUE(finished.wait(60000));
    }

    orvane::testing::DovecotServer dovecot{{}};
    QTemporaryDir home;
    mail::MailClient client;
    std::unique_ptr<speech::Agent> agent;
    std::unique_ptr<AgentVoice> voice;
    std::unique_ptr<Announcer> announcer;
    std::unique_ptr<Polling> polling;
};

TEST_F(CheckerServerTest, NewMailIsAnnouncedOnceAndStaysForTheMailer) {
    ASSERT_TRUE(
        dovecot.deliver(message(QStringLiteral("山田太郎"), QStringLiteral("会議のお知らせ"))));
    tick();
    EXPECT_EQ(spoken(), QStringList({QStringLiteral("メールが届いています"),
                                     QStringLiteral("差出人 山田太郎、件名 会議のお知らせ")}));
    tick();
    EXPECT_EQ(spoken().size(), 2) << spoken().join('|').toStdString();
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(", ").toStdString();

    // The mailer receives it afterwards: it is still on the server.
    QTemporaryDir mailerDir;
    const auto received =
        client.rcvMail(pop(), dovecot.user(), dovecot.password(), "SAVEALLD", mailerDir.path());
    ASSERT_TRUE(received.ok()) << received.failure().reason.toStdString();
    ASSERT_EQ(received->size(), 2);
    const auto read = client.readMail(received->at(1), mailerDir.path());
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read->subject, QStringLiteral("会議のお知らせ"));
}

// An MP3 tone of `seconds`, made by sox; empty when sox cannot.
QByteArray tone(const QTemporaryDir& dir, double seconds) {
    const QString path = dir.filePath(QStringLiteral("tone%1.mp3").arg(seconds));
    QProcess sox;
    sox.start("sox", {"-n", "-r", "44100", "-c", "1", path, "synth", QString::number(seconds),
                      "sine", "440", "vol", "0.5"});
    QFile file(path);
    return sox.waitForFinished(30000) && sox.exitCode() == 0 && file.open(QIODevice::ReadOnly)
               ? file.readAll()
               : QByteArray();
}

TEST_F(CheckerServerTest, OnlyTheVoiceAttachmentIsPlayedAndNothingIsLeft) {
    orvane::testing::VirtualSoundDevice sound;
    if (!sound.available()) {
        GTEST_SKIP() << sound.whyNot().toStdString();
    }
    QTemporaryDir tones;
    const QByteArray voiceTone = tone(tones, 1.0);
    const QByteArray longTone = tone(tones, 3.0);
    if (voiceTone.isEmpty() || longTone.isEmpty()) {
        GTEST_SKIP() << "sox cannot write MP3 here";
    }
    // The voice of the announced mail stands behind a name that only contains ".mp3"; the
    // second mail's attachment is not the announced one's.
    ASSERT_TRUE(dovecot.deliver(message(QStringLiteral("鈴木"), QStringLiteral("声の便り"),
                                        {{"x.mp3.exe", longTone}, {"voice.mp3", voiceTone}})));
    ASSERT_TRUE(dovecot.deliver(
        message(QStringLiteral("田中"), QStringLiteral("別件"), {{"x.mp3.exe", longTone}})));

    const QString recording = tones.filePath("monitor.wav");
    ASSERT_TRUE(sound.startRecordingMonitor(recording));
    tick();
    // The queue has passed the clip; one more second of recording lets the device's latency
    // pass, so anything played is in the file.
    const auto atEnd = orvane::testing::measureWav(recording);
    ASSERT_TRUE(atEnd);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto now = orvane::testing::measureWav(recording);
            return now && now->seconds >= atEnd->seconds + 1.0;
        },
        10000));
    ASSERT_TRUE(sound.stopRecording());

    const auto stats = orvane::testing::measureWav(recording);
    ASSERT_TRUE(stats);
    // The voice lasts 1 s, each decoy 3 s (the device may swallow a stream's first moments).
    EXPECT_GT(stats->audibleSeconds, 0.5);
    EXPECT_LT(stats->audibleSeconds, 1.8);
    EXPECT_TRUE(filesLeft().isEmpty()) << filesLeft().join(", ").toStdString();
}

}  // namespace
