// INS in the body with the real recorder on a private sound device: a tone
// played into a PulseAudio null sink, whose monitor is the default source, must
// end up in the voice file with the recording's length; the next send carries
// that file to a real SMTP server on 127.0.0.1, and a real POP3 server brings
// it back to the mailer whole.
#include "voice_recording.h"

#include "window_test_support.h"

#include "decoded_audio.h"
#include "dovecot_server.h"
#include "mail_client.h"
#include "sending.h"
#include "shell_wait.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"
#include "virtual_sound.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

constexpr double kToneAmplitude = 0.5;

class VoiceOnADevice : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!device.available()) {
            GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
        }
        ASSERT_TRUE(home.isValid());
        // Longer than any start-up of the recorder plus the recording.
        ASSERT_TRUE(recorder::testing::writeToneWav(home.filePath("tone.wav").toStdString(),
                                                    {{15.0, kToneAmplitude}}, 44100, 1, 1000));
        ASSERT_TRUE(mail::test::certificate().ok());
        ASSERT_TRUE(sink.start()) << sink.error().toStdString();
        state.programFolder = home.path();
        state.mail_dir = home.filePath("mail");
        ASSERT_TRUE(QDir().mkpath(state.mail_dir));
        AccountRow account;
        account.fields.account = orvane::testing::SmtpSinkServer::user();
        account.fields.smtp = mail::test::loopback(sink.port());
        account.fields.email = "john.doe@example.jp";
        account.fields.password = orvane::testing::SmtpSinkServer::password();
        state.accounts = {account};
        state.current_account = 1;

        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
    }

    void TearDown() override {
        if (tone.state() != QProcess::NotRunning) {
            tone.kill();
            tone.waitForFinished();
        }
    }

    // The pause before the recording starts the tone instead of waiting.
    void startTone(int seconds) {
        pauses << seconds;
        statusInPause = status.text();
        tone.start("paplay", {"--device=" + orvane::testing::VirtualSoundDevice::sinkName(),
                              home.filePath("tone.wav")});
        ASSERT_TRUE(tone.waitForStarted());
    }

    orvane::testing::VirtualSoundDevice device;
    QTemporaryDir home;
    MailerState state;
    QLabel status, guide;
    Announcer announcer{&status, &guide};
    // Every countdown tick, as the status line shows it.
    QStringList ticks;
    ShellWait shellWait{[this](const QString& w) {
        announcer.show_message(w);
        ticks << w;
    }};
    std::unique_ptr<speech::Agent> agent;
    QProcess tone;
    QList<int> pauses;
    orvane::testing::SmtpSinkServer sink{
        {mail::test::certificate().certFile(), mail::test::certificate().keyFile(), true}};
    mail::MailClient client{mail::test::quickOptions()};
    Sending sending{announcer, state, client};
    QString statusInPause;
};

// The whole road of a voice mail, from the microphone to the receiver's list.
TEST_F(VoiceOnADevice, ARecordedToneIsSentAsAudioMpegAndComesBackWhole) {
    state.recording_seconds = 3;
    VoiceRecording recording({
        .announcer = announcer,
        .state = state,
        .beep = beepThrough(*agent, agent->character("genie")),
        .pause = [this](int seconds) { startTone(seconds); },
        .shellWait = shellWait,
        .executableFolder = qEnvironmentVariable("ORVANE_BIN_DIR"),
    });

    recording.record_voice();

    EXPECT_EQ(pauses, QList<int>{7});
    EXPECT_EQ(statusInPause, "3秒間　録音中");
    EXPECT_EQ(ticks.mid(0, 3), (QStringList{"2", "1", "0"}));
    EXPECT_EQ(status.text(), "録音終了");
    ASSERT_TRUE(state.voice_attached) << status.text().toStdString();
    EXPECT_TRUE(state.voice_file_base.startsWith("orvane-testuser-"));

    const QString file = QDir(home.path()).filePath(state.voice_file_base + ".mp3");
    const auto decoded = recorder::testing::decodeMp3(file.toStdString());
    ASSERT_TRUE(decoded.has_value()) << file.toStdString();
    EXPECT_EQ(decoded->sampleRate, 32000);
    EXPECT_NEAR(decoded->seconds, 3.0, 0.15);
    // The tone alone: the opening beep was over before the recorder started.
    EXPECT_NEAR(decoded->peak, kToneAmplitude, 0.15);

    // ESC in the body sends it.
    const QByteArray recorded = mail::test::readFile(file);
    sending.send_msg({"testuser@example.jp", "声の便り", "聞いてください"});
    const auto captured = sink.captured();
    ASSERT_EQ(captured.size(), 1)
        << transcriptTexts(home.filePath("transcript.txt")).join(" | ").toStdString();
    EXPECT_TRUE(captured.first().message.contains("Content-Type: audio/mpeg"));
    EXPECT_EQ(transcriptTexts(home.filePath("transcript.txt")).last(),
              "音声添付ファイル付きでメールをtestuser@example.jpへ送信しました");
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(state.voice_attached);

    // Back through a real POP3 server into the mailer: listed as a voice mail,
    // the attachment byte for byte the recording.
    orvane::testing::DovecotServer pop{orvane::testing::DovecotServer::Options{}};
    ASSERT_TRUE(pop.start()) << pop.error().toStdString();
    ASSERT_TRUE(pop.deliver(captured.first().message));
    MailerHome receiver;
    receiver.createComponent = [] { return mail::createMailComponent(); };
    receiver.addAccount(QStringLiteral("pop3://127.0.0.1:%1").arg(pop.pop3Port()),
                        "testuser@example.jp");
    receiver.start();
    EXPECT_EQ(receiver.grid()->model()->index(1, 2).data().toString(), "♪　声の便り");
    const std::vector<MailListRow> rows = receiver.store().mailsInFolder(kReceivedFolder);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].attach.endsWith(".mp3")) << rows[0].attach.toStdString();
    EXPECT_EQ(mail::test::readFile(rows[0].attach), recorded);

    // ENTER on it plays the recording after the 4-second pause: the tone comes
    // back out of the device.
    tone.kill();
    tone.waitForFinished();
    const QString heard = home.filePath("heard.wav");
    ASSERT_TRUE(device.startRecordingMonitor(heard));
    QTableView* grid = receiver.grid();
    grid->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([grid] { return grid->hasFocus(); }, 2000));
    receiver.window->mailList().setCurrentCell(1, 1);
    QElapsedTimer sinceEnter;
    sinceEnter.start();
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_GE(sinceEnter.elapsed(), 3900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return receiver.agent->waitUntilIdle(0); }, 30000));
    QTest::qWait(1000);  // the device's latency
    ASSERT_TRUE(device.stopRecording());
    const auto stats = orvane::testing::measureWav(heard);
    ASSERT_TRUE(stats);
    EXPECT_NEAR(stats->audibleSeconds, 3.0, 0.8);
    EXPECT_GT(stats->peak, 0.2);
    EXPECT_TRUE(receiver.openedAttachments.isEmpty());
}

}  // namespace
