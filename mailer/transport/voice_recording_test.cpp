// Voice recording with stand-in recorders: small scripts put where the mailer
// looks for the recorder, each behaving as one kind of recorder does. The
// recording that succeeds is typed through the real window in
// compose_server_test; the real recorder on a sound device is in
// voice_recording_device_test.
#include "voice_recording.h"

#include "audio_sink.h"
#include "compose_test_support.h"
#include "fake_engine.h"
#include "sending.h"
#include "shell_wait.h"

#include <QLabel>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::putRecorder;

namespace {

const QDateTime kNow(QDate(2026, 12, 6), QTime(12, 34, 56));
const QString kStamp = QStringLiteral("20261206123456");

TEST(VoiceFileBase, IsTheUserAndTheTimeWithoutWhatCannotStandInAFileNameOrAQuotedArgument) {
    struct Row {
        const char* name;
        QString user;
        QString share;  // of the user name, in the base name
    };
    const Row rows[] = {
        {"unsafe characters go", "a/b:c\"d\\e\tf\ng\x01h\x7f", "abcdefgh"},
        {"a lone surrogate goes", QString("a") + QChar(0xD800) + "b", "ab"},
        // Room is left for ".mp3", " (99)" and the recorder's temporary decoration.
        {"a long name is cut at a whole character", QString(158, 'a') + "😀", QString(158, 'a')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(voiceFileBase(row.user, kNow), "orvane-" + row.share + "-" + kStamp);
    }
}

std::unique_ptr<speech::Agent> agentInto(const QString& transcript,
                                         std::shared_ptr<speech::AudioSink> sink) {
    speech::Agent::Options options;
    options.transcriptPath = transcript;
    options.engineFactory = [] { return std::make_unique<speech::TextAsAudioEngine>(); };
    options.sink = std::move(sink);
    return std::make_unique<speech::Agent>(options);
}

class VoiceRecordingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        state.programFolder = home.path();
        state.recording_seconds = 30;
        state.accounts = {AccountRow{}};
        state.accounts[0].fields.account = "john.doe";
        state.current_account = 1;
        announcer.setCharacter(character);
    }

    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    // The speech output's pieces in order: "speech" (a sentence may come in
    // several pieces) or "beep".
    QStringList heard() {
        EXPECT_TRUE(agent->waitUntilIdle(10000));
        QStringList order;
        for (const speech::Audio& piece : sink->pieces()) {
            const QString what = piece.sampleRate == 8000 ? "speech" : "beep";
            if (what == "beep" || order.isEmpty() || order.last() != what) {
                order << what;
            }
        }
        return order;
    }
    QString voiceFile() const { return home.filePath(state.voice_file_base + ".mp3"); }

    // Where the program lives may hold blanks and quotes.
    QTemporaryDir home{QDir::tempPath() + "/orvane say \"hi\" XXXXXX"};
    QTemporaryDir elsewhere;
    MailerState state;
    QLabel status, guide, mic;
    Announcer announcer{&status, &guide};
    ShellWait shellWait{[this](const QString& w) { announcer.show_message(w); }};
    std::shared_ptr<speech::RecordingSink> sink = std::make_shared<speech::RecordingSink>();
    std::unique_ptr<speech::Agent> agent = agentInto(home.filePath("transcript.txt"), sink);
    speech::Character* character = agent->loadDefault("genie");
    QList<int> pauses;
    QString statusInPause;
    VoiceRecording recording{{
        .announcer = announcer,
        .state = state,
        .beep = beepThrough(*agent, character),
        .pause =
            [this](int seconds) {
                pauses << seconds;
                statusInPause = status.text();
            },
        .shellWait = shellWait,
        .mic = &mic,
        .executableFolder = elsewhere.path(),
        .clock = [] { return kNow; },
    }};
};

TEST_F(VoiceRecordingTest, TheLengthSetInTheOptionsCountsFromTheNextRecordingOn) {
    putRecorder(home.path(), "printf 'ID3 recorded' > \"$last.mp3\"\n");
    recording.record_voice();
    state.recording_seconds = 5;
    recording.record_voice();
    QFile args(home.filePath("args.txt"));  // noted by the recorder in the folder it ran in
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(args.readAll()).split('\n', Qt::SkipEmptyParts).mid(0, 8),
              (QStringList{"-t", "5", "-b", "32", "-f", "12", "-sr", "32.2"}));
    EXPECT_EQ(statusInPause, "5秒間　録音中");
    EXPECT_EQ(pauses, (QList<int>{7, 7}));
    EXPECT_TRUE(state.voice_attached);
    EXPECT_TRUE(QFile::exists(voiceFile()));
}

struct FailureRow {
    const char* name;
    std::optional<QByteArray> recorder;  // nullopt: there is none
    QString reason;                      // what the spoken failure holds
    bool announced;                      // the announcement, the pause and both beeps
    bool staleFile = false;              // a file of the recording's name is there before
    bool executable = true;
};

class RecordingThatFails : public VoiceRecordingTest,
                           public ::testing::WithParamInterface<FailureRow> {};

TEST_P(RecordingThatFails, IsSpokenAndTheNextSendIsAPlainMail) {
    const FailureRow& row = GetParam();
    if (row.recorder) {
        putRecorder(home.path(), *row.recorder);
        if (!row.executable) {
            QFile::setPermissions(home.filePath(kRecorderPath), QFile::ReadOwner);
        }
    }
    if (row.staleFile) {
        QFile(home.filePath("orvane-john.doe-" + kStamp + ".mp3")).open(QIODevice::WriteOnly);
    }
    // An earlier recording, which this one replaces.
    state.voice_file_base = "orvane-john.doe-20261205000000";
    QFile(voiceFile()).open(QIODevice::WriteOnly);
    state.voice_attached = true;
    recording.record_voice();

    EXPECT_FALSE(state.voice_attached);
    EXPECT_TRUE(status.text().startsWith("録音できませんでした：")) << status.text().toStdString();
    EXPECT_TRUE(status.text().contains(row.reason)) << status.text().toStdString();
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_EQ(spoken().last(), Announcer::spokenForm(status.text()));
    EXPECT_FALSE(spoken().contains("音声録音が終了しました。[ＥＳＣ]でメールされます"));
    EXPECT_TRUE(mic.isHidden());
    // Without a recorder nothing is announced and nobody waits; with one, the
    // microphone opens between the announcement and the beeps.
    EXPECT_EQ(pauses.size(), row.announced ? 1 : 0);
    EXPECT_EQ(heard(), row.announced ? (QStringList{"speech", "beep", "beep", "speech"})
                                     : QStringList{"speech"});

    mail::FakeMailComponent component;
    Sending(announcer, state, component).send_msg({"tanaka@example.jp", "件名", "本文"});
    ASSERT_EQ(component.calls.size(), 1);
    EXPECT_EQ(component.calls[0].args[5], "");  // no attachment
    EXPECT_EQ(spoken().last(), "メールをtanaka@example.jpへ送信しました");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RecordingThatFails,
    ::testing::Values(FailureRow{"NoRecorder", std::nullopt,
                                 "録音プログラム trelcap28/trelcap が見つかりません", false},
                      FailureRow{"CannotBeStarted", "", "起動できません", true, false, false},
                      FailureRow{"LeavesAnEmptyFile", ": > \"$last.mp3\"\n",
                                 "録音された音声ファイルが空です", true},
                      // An older file of the same name is never taken for the recording.
                      FailureRow{"LeavesNoFileBesideAnOlderOne",
                                 "echo 'no input device' >&2; exit 1\n",
                                 "録音プログラムが音声ファイルを残さずに終了しました", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
