// Voice recording with stand-in recorders: small scripts put where the mailer
// looks for the recorder, each behaving as one kind of recorder does. The real
// recorder on a sound device is in voice_recording_device_test.
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

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QDateTime kNow(QDate(2026, 12, 6), QTime(12, 34, 56));
const QString kStamp = QStringLiteral("20261206123456");

TEST(VoiceFileBase, IsTheUserAndTheTimeWithoutWhatCannotStandInAFileNameOrAQuotedArgument) {
    struct Row {
        const char* name;
        QString user;
        QString share;  // of the user name, in the base name
    };
    const Row rows[] = {
        {"at and dots stay", "john.doe@example.jp", "john.doe@example.jp"},
        {"slash and colon go", "ab/cd:ef", "abcdef"},
        {"quote and backslash go", "a\"b\\c", "abc"},
        {"control characters go",
         "a\tb\nc\x01"
         "d\x7f",
         "abcd"},
        {"Japanese stays", "山田", "山田"},
        {"a lone surrogate goes", QString("a") + QChar(0xD800) + "b", "ab"},
        {"no account", "", ""},
        // Room is left for ".mp3", " (99)" and the recorder's temporary decoration.
        {"a long name is cut at a whole character", QString(158, 'a') + "😀", QString(158, 'a')},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(voiceFileBase(row.user, kNow), "orvane-" + row.share + "-" + kStamp);
    }
}

class VoiceRecordingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        state.programFolder = home.path();
        state.recording_seconds = 30;
        AccountRow account;
        account.fields.account = "john.doe";
        state.accounts = {account};
        state.current_account = 1;
        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        options.engineFactory = [] { return std::make_unique<speech::TextAsAudioEngine>(); };
        options.sink = sink;
        agent = std::make_unique<speech::Agent>(options);
        character = agent->loadDefault("genie");
        announcer.setCharacter(character);
        recording.emplace(VoiceRecording::Parts{
            .announcer = announcer,
            .state = state,
            .beep = beepThrough(*agent, character),
            .pause = [this](int seconds) { onPause(seconds); },
            .shellWait = shellWait,
            .mic = &mic,
            .executableFolder = elsewhere.path(),
            .clock = [] { return kNow; },
        });
    }

    // What the user has heard and seen by the time of the pause.
    void onPause(int seconds) {
        pauses << seconds;
        micShownInPause = !mic.isHidden();
        attachedInPause = state.voice_attached;
        statusInPause = status.text();
        spokenInPause = spoken();
    }
    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    // The arguments the recorder got, noted in the folder it ran in.
    QStringList recorderArgs() const {
        return QString::fromUtf8(contents(home.filePath("args.txt")))
            .split('\n', Qt::SkipEmptyParts);
    }
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
    std::unique_ptr<speech::Agent> agent;
    speech::Character* character = nullptr;
    std::optional<VoiceRecording> recording;

    QList<int> pauses;
    bool micShownInPause = false;
    bool attachedInPause = false;
    QString statusInPause;
    QStringList spokenInPause;
};

TEST_F(VoiceRecordingTest, AnnouncesPausesRecordsInTheProgramFolderAndMarksTheNextSend) {
    // A user name with a quote and a slash still gives a working name.
    state.accounts[0].fields.account = "o\"brien/x:y@example.jp";
    const QString base = "orvane-obrienxy@example.jp-" + kStamp;
    putRecorder(home.path(), "printf 'ID3 recorded' > \"$last.mp3\"\n");
    EXPECT_TRUE(mic.isHidden());  // until a recording
    recording->record_voice();

    EXPECT_EQ(pauses, QList<int>{7});
    EXPECT_TRUE(micShownInPause);
    EXPECT_TRUE(attachedInPause);
    EXPECT_EQ(statusInPause, "30秒間　録音中");
    EXPECT_EQ(spokenInPause, QStringList{"音声30秒　録音開始"});
    EXPECT_EQ(recorderArgs(),
              (QStringList{"-t", "30", "-b", "32", "-f", "12", "-sr", "32.2", base}));

    EXPECT_TRUE(state.voice_attached);
    EXPECT_EQ(state.voice_file_base, base);
    EXPECT_TRUE(QFile::exists(voiceFile()));
    EXPECT_EQ(status.text(), "録音終了");
    EXPECT_TRUE(mic.isHidden());
    EXPECT_FALSE(mic.pixmap().isNull());
    EXPECT_EQ(spoken(), (QStringList{"音声30秒　録音開始",
                                     "音声録音が終了しました。[ＥＳＣ]でメールされます"}));
    EXPECT_EQ(heard(), (QStringList{"speech", "beep", "beep", "speech"}));

    // A voice file gone before the send is said and not sent; the flag goes
    // with it, so the next ESC sends a plain mail.
    ASSERT_TRUE(QFile::remove(voiceFile()));
    mail::FakeMailComponent component;
    Sending(announcer, state, component).send_msg({"tanaka@example.jp", "件名", "本文"});
    EXPECT_EQ(spoken().last(),
              "メールを送信できませんでした：録音した音声ファイルが見つかりません。"
              "もう一度録音するか、ESCで音声なしで送信してください");
    EXPECT_TRUE(component.calls.isEmpty());
    EXPECT_FALSE(state.voice_attached);

    // The length set in the options counts from the next recording on.
    state.recording_seconds = 5;
    recording->record_voice();
    EXPECT_EQ(recorderArgs().mid(0, 2), (QStringList{"-t", "5"}));
    EXPECT_EQ(statusInPause, "5秒間　録音中");
    EXPECT_TRUE(state.voice_attached);
}

struct FailureRow {
    const char* name;
    std::optional<QByteArray> recorder;  // nullopt: there is none
    QString reason;                      // what the spoken failure holds
    bool announced;                      // the announcement, the pause and both beeps
    bool staleFile = false;              // a file of the recording's name is there before
    bool executable = true;
};
void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

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
    recording->record_voice();

    EXPECT_FALSE(state.voice_attached);
    EXPECT_TRUE(status.text().startsWith("録音できませんでした：")) << status.text().toStdString();
    EXPECT_TRUE(status.text().contains(row.reason)) << status.text().toStdString();
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_EQ(spoken().last(), Announcer::spokenForm(status.text()));
    EXPECT_FALSE(spoken().contains("音声録音が終了しました。[ＥＳＣ]でメールされます"));
    EXPECT_TRUE(mic.isHidden());
    // Without a recorder nothing is announced and nobody waits.
    EXPECT_EQ(pauses.size(), row.announced ? 1 : 0);
    EXPECT_EQ(heard().count("beep"), row.announced ? 2 : 0);

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
                      FailureRow{"LeavesNoFile", "echo 'no input device' >&2; exit 1\n",
                                 "録音プログラムが音声ファイルを残さずに終了しました", true},
                      FailureRow{"LeavesAnEmptyFile", ": > \"$last.mp3\"\n",
                                 "録音された音声ファイルが空です", true},
                      // An older file of the same name is never taken for the recording.
                      FailureRow{"LeavesNoFileBesideAnOlderOne", "exit 0\n",
                                 "録音プログラムが音声ファイルを残さずに終了しました", true, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
