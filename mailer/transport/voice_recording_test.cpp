// Voice recording with stand-in recorders: small scripts put where the mailer
// looks for the recorder, each behaving as one kind of recorder does.
#include "voice_recording.h"

#include "agent.h"
#include "announcer.h"
#include "audio_sink.h"
#include "character.h"
#include "fake_engine.h"
#include "fake_mail_component.h"
#include "mailer_state.h"
#include "sending.h"
#include "shell_wait.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

const QDateTime kNow(QDate(2026, 12, 6), QTime(12, 34, 56));
const QString kStamp = QStringLiteral("20261206123456");

// ---- the base name and the command line ---------------------------------

struct BaseNameRow {
    const char* name;
    QString user;
    QString base;
};
void PrintTo(const BaseNameRow& row, std::ostream* os) {
    *os << row.name;
}

class BaseName : public ::testing::TestWithParam<BaseNameRow> {};

TEST_P(BaseName, IsTheUserAndTheTimeWithoutUnsafeCharacters) {
    EXPECT_EQ(voiceFileBase(GetParam().user, kNow), GetParam().base);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, BaseName,
    ::testing::Values(
        BaseNameRow{"AtAndDotsStay", "john.doe@example.jp", "orvane-john.doe@example.jp-" + kStamp},
        BaseNameRow{"SlashAndColonGo", "ab/cd:ef", "orvane-abcdef-" + kStamp},
        BaseNameRow{"QuoteAndBackslashGo", "a\"b\\c", "orvane-abc-" + kStamp},
        BaseNameRow{"ControlCharactersGo",
                    "a\tb\nc\x01"
                    "d\x7f",
                    "orvane-abcd-" + kStamp},
        BaseNameRow{"JapaneseStays", "山田", "orvane-山田-" + kStamp},
        BaseNameRow{"LoneSurrogateGoes", QString("a") + QChar(0xD800) + "b", "orvane-ab-" + kStamp},
        BaseNameRow{"NoAccount", "", "orvane--" + kStamp}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BaseName, ALongUserNameIsCutToFitAFileNameWithoutSplittingACharacter) {
    const QString user = QString(40, 'a') + QString(100, QChar(0x6F22)) + "😀😀😀";
    const QString base = voiceFileBase(user, kNow);
    EXPECT_TRUE(base.startsWith("orvane-" + QString(40, 'a')));
    EXPECT_TRUE(base.endsWith("-" + kStamp));
    // With ".mp3", " (99)" and the recorder's temporary decoration it is a
    // legal file name.
    EXPECT_LT(("." + base + " (99).mp3.trelcap-XXXXXX").toUtf8().size(), 256);
    EXPECT_FALSE(base.contains(QChar(QChar::ReplacementCharacter)));
    EXPECT_EQ(QString::fromUtf8(base.toUtf8()), base);  // no half surrogate pair
}

TEST(CommandLine, SplitsIntoTheRecorderAndItsFixedSwitches) {
    const QString base = voiceFileBase("o'neil \"x\"/y@example.jp", kNow);
    for (const QString& recorder : {QStringLiteral("/opt/orvane/trelcap28/trelcap"),
                                    QStringLiteral("/home/a b/trelcap28/trelcap"),
                                    QStringLiteral("/tmp/say \"hi\"/trelcap28/trelcap")}) {
        const QString line = recorderCommandLine(recorder, 45, base);
        EXPECT_EQ(QProcess::splitCommand(line),
                  (QStringList{recorder, "-t", "45", "-b", "32", "-f", "12", "-sr", "32.2", base}))
            << line.toStdString();
    }
    EXPECT_EQ(base, "orvane-o'neil xy@example.jp-" + kStamp);
}

// ---- recording with stand-in recorders ----------------------------------

// What the recorder stand-in does once it has noted its arguments and folder.
// $last is the output's base name, as the real recorder is given it.
const QString kWrites = QStringLiteral("printf 'ID3 recorded' > \"$last.mp3\"\n");
const QString kWritesBesideATakenName = QStringLiteral(
    "out=\"$last.mp3\"; n=2\n"
    "while [ -e \"$out\" ]; do out=\"$last ($n).mp3\"; n=$((n+1)); done\n"
    "printf 'ID3 new' > \"$out\"\n");
const QString kLeavesNothing = QStringLiteral("echo 'no input device' >&2; exit 1\n");
const QString kLeavesAnEmptyFile = QStringLiteral(": > \"$last.mp3\"\n");

class VoiceRecordingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(elsewhere.isValid());
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
    }

    void putRecorder(const QString& behaviour) {
        ASSERT_TRUE(QDir(home.path()).mkpath("trelcap28"));
        QFile script(home.filePath(kRecorderPath));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "for a; do last=\"$a\"; done\n"
                                    "printf '%s\\n' \"$@\" > args.txt\n"
                                    "pwd > cwd.txt\n")
                         .toUtf8() +
                     behaviour.toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    VoiceRecording& recording() {
        if (!place) {
            place = std::make_unique<VoiceRecording>(VoiceRecording::Parts{
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
        return *place;
    }

    // What the user has heard and seen by the time of the pause.
    void onPause(int seconds) {
        pauses << seconds;
        micShownInPause = !mic.isHidden();
        statusInPause = status.text();
        spokenInPause = spoken();
        attachedInPause = state.voice_attached;
    }

    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    QStringList recorderArgs() const {
        QFile file(home.filePath("args.txt"));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
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

    const QString base = "orvane-john.doe-" + kStamp;
    QTemporaryDir home;
    QTemporaryDir elsewhere;
    MailerState state;
    QLabel status;
    QLabel guide;
    QLabel mic;
    Announcer announcer{&status, &guide};
    ShellWait shellWait{[this](const QString& w) { announcer.show_message(w); }};
    std::shared_ptr<speech::RecordingSink> sink = std::make_shared<speech::RecordingSink>();
    std::unique_ptr<speech::Agent> agent;
    speech::Character* character = nullptr;
    std::unique_ptr<VoiceRecording> place;

    QList<int> pauses;
    bool micShownInPause = false;
    bool attachedInPause = false;
    QString statusInPause;
    QStringList spokenInPause;
};

TEST_F(VoiceRecordingTest, ARecordingAnnouncesPausesRunsTheRecorderAndMarksTheNextSend) {
    putRecorder(kWrites);
    recording();
    EXPECT_TRUE(mic.isHidden());  // hidden until a recording
    recording().record_voice();

    EXPECT_EQ(pauses, QList<int>{7});
    EXPECT_TRUE(micShownInPause);
    EXPECT_TRUE(attachedInPause);
    EXPECT_EQ(statusInPause, "30秒間　録音中");
    EXPECT_EQ(spokenInPause, QStringList{"音声30秒　録音開始"});

    EXPECT_EQ(recorderArgs(),
              (QStringList{"-t", "30", "-b", "32", "-f", "12", "-sr", "32.2", base}));
    QFile cwd(home.filePath("cwd.txt"));
    ASSERT_TRUE(cwd.open(QIODevice::ReadOnly));
    EXPECT_EQ(QDir(QString::fromUtf8(cwd.readAll()).trimmed()).canonicalPath(),
              QDir(home.path()).canonicalPath());

    EXPECT_TRUE(state.voice_attached);
    EXPECT_EQ(state.voice_file_base, base);
    EXPECT_TRUE(QFile::exists(voiceFile()));
    EXPECT_EQ(status.text(), "録音終了");
    EXPECT_TRUE(mic.isHidden());
    EXPECT_FALSE(mic.pixmap().isNull());
    EXPECT_EQ(spoken(), (QStringList{"音声30秒　録音開始",
                                     "音声録音が終了しました。[ＥＳＣ]でメールされます"}));
    EXPECT_EQ(heard(), (QStringList{"speech", "beep", "beep", "speech"}));
}

TEST_F(VoiceRecordingTest, EachRecordingTakesTheLengthSetAtThatMoment) {
    putRecorder(kWrites);
    recording().record_voice();
    EXPECT_EQ(recorderArgs().mid(0, 2), (QStringList{"-t", "30"}));
    recording().record_voice();  // same settings, same length
    EXPECT_EQ(recorderArgs().mid(0, 2), (QStringList{"-t", "30"}));
    state.recording_seconds = 5;  // the options dialog's OK
    recording().record_voice();
    EXPECT_EQ(recorderArgs().mid(0, 2), (QStringList{"-t", "5"}));
    EXPECT_EQ(statusInPause, "5秒間　録音中");
}

struct FailureRow {
    const char* name;
    std::optional<QString> recorder;  // nullopt: there is none
    QString reason;
    bool started;
};
void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

class RecordingThatFails : public VoiceRecordingTest,
                           public ::testing::WithParamInterface<FailureRow> {};

TEST_P(RecordingThatFails, IsSpokenAndTheNextSendIsAPlainMail) {
    const FailureRow& row = GetParam();
    if (row.recorder) {
        putRecorder(*row.recorder);
    }
    // An earlier recording, which this one replaces.
    state.voice_file_base = "orvane-john.doe-20261205000000";
    QFile(voiceFile()).open(QIODevice::WriteOnly);
    state.voice_attached = true;
    recording().record_voice();

    const QString said = "録音できませんでした：" + row.reason;
    EXPECT_FALSE(state.voice_attached);
    EXPECT_EQ(status.text(), said);
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_EQ(spoken().last(), said);
    EXPECT_FALSE(spoken().contains("音声録音が終了しました。[ＥＳＣ]でメールされます"));
    EXPECT_TRUE(mic.isHidden());
    // Without a recorder nothing is announced and nobody waits.
    EXPECT_EQ(pauses.size(), row.started ? 1 : 0);
    EXPECT_EQ(heard().count("beep"), row.started ? 2 : 0);

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
                      FailureRow{"LeavesNoFile", kLeavesNothing,
                                 "録音プログラムが音声ファイルを残さずに終了しました", true},
                      FailureRow{"LeavesAnEmptyFile", kLeavesAnEmptyFile,
                                 "録音された音声ファイルが空です", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VoiceRecordingTest, ARecorderThatCannotBeStartedIsSpokenWithTheReason) {
    putRecorder(kWrites);
    QFile::setPermissions(home.filePath(kRecorderPath), QFile::ReadOwner | QFile::WriteOwner);
    recording().record_voice();
    EXPECT_FALSE(state.voice_attached);
    EXPECT_TRUE(status.text().startsWith("録音できませんでした：")) << status.text().toStdString();
    EXPECT_TRUE(status.text().contains("起動できません")) << status.text().toStdString();
    EXPECT_TRUE(mic.isHidden());
}

TEST_F(VoiceRecordingTest, AFileLeftBeforeUnderTheSameNameIsNeverTakenForTheRecording) {
    QFile stale(home.filePath(base + ".mp3"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("ID3 older");
    stale.close();

    putRecorder(kLeavesNothing);
    recording().record_voice();
    EXPECT_FALSE(state.voice_attached);

    // A recorder that keeps the older file writes beside it; that one is sent.
    putRecorder(kWritesBesideATakenName);
    recording().record_voice();
    EXPECT_TRUE(state.voice_attached);
    EXPECT_EQ(state.voice_file_base, base + " (2)");
    QFile written(voiceFile());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), "ID3 new");
}

TEST_F(VoiceRecordingTest, AUserNameWithAQuoteAndASlashRecordsUnderAWorkingName) {
    state.accounts[0].fields.account = "o\"brien/x:y@example.jp";
    putRecorder(kWrites);
    recording().record_voice();
    const QString expected = "orvane-obrienxy@example.jp-" + kStamp;
    EXPECT_EQ(recorderArgs().last(), expected);
    EXPECT_TRUE(state.voice_attached);
    EXPECT_EQ(state.voice_file_base, expected);
    EXPECT_TRUE(QFile::exists(home.filePath(expected + ".mp3")));
}

}  // namespace
