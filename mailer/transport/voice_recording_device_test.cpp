// A voice mail's whole road through the real window and the real recorder on a
// private sound device: a tone played into a PulseAudio null sink, whose
// monitor is the default source, must end up in the voice file with the
// recording's length; ESC carries that file to a real SMTP server on
// 127.0.0.1, a real POP3 server brings it back whole, and ENTER plays it.
#include "compose_test_support.h"

#include "decoded_audio.h"
#include "dovecot_server.h"
#include "mail_client.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"
#include "virtual_sound.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QTimer>

using namespace orvane;
using namespace orvane::mailer;
using namespace orvane::mailer::test;
using mail::test::certificate;

namespace {

constexpr double kToneAmplitude = 0.5;

// The real component, except that the pause before a recording starts the tone.
class ToneClient : public mail::MailClient {
  public:
    explicit ToneClient(std::function<void()> startTone)
        : MailClient(mail::test::quickOptions()), startTone_(std::move(startTone)) {}
    void sleep(int seconds) override {
        seconds == kAnnouncementPauseSeconds ? startTone_() : MailClient::sleep(seconds);
    }

  private:
    std::function<void()> startTone_;
};

class VoiceOnADevice : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!device.available()) {
            GTEST_SKIP() << "no private PulseAudio: " << device.whyNot().toStdString();
        }
        // Longer than any start-up of the recorder plus the recording.
        ASSERT_TRUE(recorder::testing::writeToneWav(home.dir.filePath("tone.wav").toStdString(),
                                                    {{15.0, kToneAmplitude}}, 44100, 1, 1000));
        ASSERT_TRUE(certificate().ok());
        ASSERT_TRUE(sink.start()) << sink.error().toStdString();
        ASSERT_TRUE(pop.start()) << pop.error().toStdString();
        ASSERT_TRUE(QFile::link(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("trelcap28"),
                                home.dir.filePath("trelcap28")));
        home.store().insertAccount({QStringLiteral("pop3://127.0.0.1:%1").arg(pop.pop3Port()),
                                    mail::test::loopback(sink.port()), "testuser", "testpass",
                                    "testuser@example.jp", "名前", "表題"});
        home.store().setCurrentAccount(home.store().accounts().front().id);
        home.store().setVoiceSeconds(3);
        home.createComponent = [this] {
            return std::make_unique<ToneClient>([this] {
                statusInPause = status()->text();
                tone.start("paplay", {"--device=" + orvane::testing::VirtualSoundDevice::sinkName(),
                                      home.dir.filePath("tone.wav")});
            });
        };
    }
    void TearDown() override {
        if (tone.state() != QProcess::NotRunning) {
            tone.kill();
            tone.waitForFinished();
        }
    }
    QLabel* status() const { return home.control<QLabel>("cmd_message"); }

    orvane::testing::VirtualSoundDevice device;
    orvane::testing::SmtpSinkServer sink{{certificate().certFile(), certificate().keyFile(), true}};
    orvane::testing::DovecotServer pop{orvane::testing::DovecotServer::Options{}};
    MailerHome home;
    QProcess tone;
    QString statusInPause;
};

TEST_F(VoiceOnADevice, ARecordedToneIsSentAsAudioMpegComesBackWholeAndIsPlayed) {
    home.start();
    auto* body = home.control<QTextEdit>("body");
    ASSERT_TRUE(MailerHome::focus(home.control<QLineEdit>("mailto")));
    typeText(home.control<QLineEdit>("mailto"), "testuser@example.jp");
    home.control<QLineEdit>("subject")->setText("声の便り");
    ASSERT_TRUE(MailerHome::focus(body));
    // Every countdown tick, as the status line shows it.
    QStringList ticks;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (const QString shown = status()->text(); shown.size() == 1 && !ticks.endsWith(shown)) {
            ticks << shown;
        }
    });
    watch.start(20);
    QTest::keyClick(body, Qt::Key_Insert);
    watch.stop();

    const MailerState& state = home.window->state();  // until the next start
    EXPECT_EQ(statusInPause, "3秒間　録音中");
    EXPECT_EQ(ticks.mid(0, 3), (QStringList{"2", "1", "0"}));
    EXPECT_EQ(status()->text(), "録音終了");
    ASSERT_TRUE(state.voice_attached) << status()->text().toStdString();
    EXPECT_TRUE(state.voice_file_base.startsWith("orvane-testuser-"));
    const QString file = home.dir.filePath(state.voice_file_base + ".mp3");
    const auto decoded = recorder::testing::decodeMp3(file.toStdString());
    ASSERT_TRUE(decoded.has_value()) << file.toStdString();
    EXPECT_EQ(decoded->sampleRate, 32000);
    EXPECT_NEAR(decoded->seconds, 3.0, 0.15);
    // The tone alone: the opening beep was over before the recorder started.
    EXPECT_NEAR(decoded->peak, kToneAmplitude, 0.15);

    const QByteArray recorded = mail::test::readFile(file);
    QTest::keyClick(body, Qt::Key_Escape);
    const auto captured = sink.captured();
    ASSERT_EQ(captured.size(), 1) << home.spoken().join(" | ").toStdString();
    EXPECT_TRUE(captured.first().message.contains("Content-Type: audio/mpeg"));
    EXPECT_EQ(home.spoken().last(),
              "音声添付ファイル付きでメールをtestuser@example.jpへ送信しました");
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_FALSE(state.voice_attached);

    // Back through the POP3 server at the next start: listed as a voice mail,
    // the attachment byte for byte the recording.
    ASSERT_TRUE(pop.deliver(captured.first().message));
    home.window.reset();
    home.start();
    QTableView* grid = home.grid();
    ASSERT_TRUE(MailerHome::focus(grid));
    EXPECT_EQ(grid->model()->index(1, 2).data().toString(), "♪　声の便り");
    const std::vector<MailListRow> rows = home.store().mailsInFolder(kReceivedFolder);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].attach.endsWith(".mp3")) << rows[0].attach.toStdString();
    EXPECT_EQ(mail::test::readFile(rows[0].attach), recorded);

    // ENTER on it plays the recording after the 4-second pause: the tone comes
    // back out of the device.
    tone.kill();
    tone.waitForFinished();
    const QString heard = home.dir.filePath("heard.wav");
    ASSERT_TRUE(device.startRecordingMonitor(heard));
    home.window->mailList().setCurrentCell(1, 1);
    QElapsedTimer sinceEnter;
    sinceEnter.start();
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_GE(sinceEnter.elapsed(), 3900);
    ASSERT_TRUE(QTest::qWaitFor([&] { return home.agent->waitUntilIdle(0); }, 30000));
    QTest::qWait(1000);  // the device's latency
    ASSERT_TRUE(device.stopRecording());
    const auto stats = orvane::testing::measureWav(heard);
    ASSERT_TRUE(stats);
    EXPECT_NEAR(stats->audibleSeconds, 3.0, 0.8);
    EXPECT_GT(stats->peak, 0.2);
    EXPECT_TRUE(home.openedAttachments.isEmpty());
}

}  // namespace
