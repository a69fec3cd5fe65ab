#include "recorder_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/wait.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "command_line.h"
#include "console_window.h"
#include "front_test_support.h"
#include "pseudo_terminal.h"

namespace trelcapg {
namespace {

using testing::RecordingPresenter;
using testing::WaitFor;

class RecorderDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!PseudoTerminal::open(80, 25)) {
            GTEST_SKIP() << "no pseudo-terminals on this machine (/dev/ptmx)";
        }
        ASSERT_TRUE(dir_.isValid());
    }

    CRecorderDlg& open(RecorderLocator locator = testing::FakeRecorderLocator()) {
        FrontEndEnvironment env;
        env.applicationName = QStringLiteral("TrelcapG");
        env.settingsPath = settingsPath();
        env.locateRecorder = std::move(locator);
        env.messages = &presenter_;
        env.endProcess = [this] { ++endProcessCalls_; };
        dialog_ = std::make_unique<CRecorderDlg>(env);
        EXPECT_TRUE(dialog_->OnInitDialog());
        dialog_->show();
        return *dialog_;
    }

    std::string settingsPath() const {
        return dir_.filePath(QStringLiteral("TrelcapG.dat")).toStdString();
    }
    bool settingsFileExists() const {
        return QFile::exists(QString::fromStdString(settingsPath()));
    }

    const CRecorderDlg::Controls& c() const { return dialog_->controls(); }

    // The names of the enabled controls, in tab order.
    QStringList enabledControls() const {
        static const QStringList names =
            QStringLiteral(
                "filePath recParam boost recTime outputRate rateConversion fileFormat "
                "silenceDetection silenceLevel silencePeriod vbrLevel options record "
                "clear exit mp3Vbr")
                .split(u' ');
        const QWidget* widgets[] = {
            c().filePath,     c().recParam,       c().boost,      c().recTime,
            c().outputRate,   c().rateConversion, c().fileFormat, c().silenceDetection,
            c().silenceLevel, c().silencePeriod,  c().vbrLevel,   c().options,
            c().record,       c().clear,          c().exit,       c().mp3Vbr};
        QStringList enabled;
        for (int i = 0; i < names.size(); ++i) {
            if (widgets[i]->isEnabled()) {
                enabled << names[i];
            }
        }
        return enabled;
    }

    // What the record's controls show, in tab order (check boxes as "on" or "off").
    QStringList shown() const {
        auto on = [](const QCheckBox* box) { return QString(box->isChecked() ? "on" : "off"); };
        return {c().filePath->text(),
                c().recParam->currentText(),
                c().boost->currentText(),
                c().recTime->text(),
                c().outputRate->currentText(),
                c().rateConversion->currentText(),
                c().fileFormat->currentText(),
                on(c().silenceDetection),
                c().silenceLevel->text(),
                c().silencePeriod->text(),
                on(c().mp3Vbr),
                c().vbrLevel->currentText(),
                c().options->text()};
    }
    const QStringList kDefaultsShown{
        "", "44kHz, Stereo, 16-bit", "0", "60", "128", "---", "GOGO", "off", "10", "3", "off", "6",
        ""};

    // A choice from a list, as the user makes it.
    static void choose(QComboBox* list, int index) {
        list->setCurrentIndex(index);
        emit list->activated(index);
    }
    // Text typed into a box, which then loses the focus.
    static void type(QLineEdit* box, const QString& text) {
        box->setText(text);
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &focusOut);
    }

    QString consoleText() const { return dialog_->consoleWindow()->screenText(); }
    bool waitForIdle() {
        return WaitFor([&] { return dialog_->recState() == RecState::Idle; }, 20000);
    }

    // Enabled when the record shows GOGO, no VBR and no silence detection.
    const QStringList kIdleDefaults{
        "filePath",   "recParam",         "boost",   "recTime", "outputRate", "rateConversion",
        "fileFormat", "silenceDetection", "options", "record",  "clear",      "exit",
        "mp3Vbr"};

    QTemporaryDir dir_;
    RecordingPresenter presenter_;
    int endProcessCalls_ = 0;
    std::unique_ptr<CRecorderDlg> dialog_;
};

TEST_F(RecorderDialogTest, OpensWithTheDefaultsAndItsConsole) {
    CRecorderDlg& dialog = open();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TrelcapG"));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(c().recParam->count(), 16);
    EXPECT_EQ(shown(), kDefaultsShown);
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), kIdleDefaults);

    ASSERT_NE(dialog.consoleWindow(), nullptr);
    EXPECT_TRUE(dialog.consoleWindow()->isVisible());
    EXPECT_EQ(dialog.consoleWindow()->windowTitle(), QStringLiteral("Output - TrelcapG"));
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, ShowsTheSavedSettingsAndClearShowsTheDefaultsWithoutSaving) {
    const RecorderSettings saved = testing::UnusualSettings();
    ASSERT_TRUE(SaveSettings(settingsPath(), saved));
    CRecorderDlg& dialog = open();
    EXPECT_EQ(dialog.settings(), saved);
    EXPECT_EQ(shown(), (QStringList{"/home/user/録音/voice note.mp3", "22kHz, Mono, 16-bit", "2",
                                    "604799", "320", "44.1", "LAME", "on", "99", "29", "on", "0",
                                    "-x \"quoted\" ＝ wide"}));
    EXPECT_EQ(enabledControls().size(), 16) << enabledControls().join(u',').toStdString();

    c().clear->click();
    EXPECT_EQ(dialog.settings(), RecorderSettings{});
    EXPECT_EQ(shown(), kDefaultsShown);
    EXPECT_EQ(enabledControls(), kIdleDefaults);
    EXPECT_EQ(LoadSettings(settingsPath()), saved) << "Clear saves nothing";
}

TEST_F(RecorderDialogTest, FormatAndVbrRulesEnableTheirControls) {
    open();
    struct Step {
        const char* name;
        std::function<void()> act;
        int fileFormat;
        bool outputRate, mp3Vbr, vbrLevel;
    };
    const Step steps[] = {
        {"WAV", [&] { choose(c().fileFormat, kWav); }, kWav, false, false, false},
        {"LAME, VBR off", [&] { choose(c().fileFormat, kLame); }, kLame, true, true, false},
        {"VBR on", [&] { c().mp3Vbr->click(); }, kLame, true, true, true},
        {"WMA", [&] { choose(c().fileFormat, kWma); }, kWma, true, false, false},
        {"GOGO, VBR still on", [&] { choose(c().fileFormat, kGogo); }, kGogo, true, true, true},
        {"VBR off", [&] { c().mp3Vbr->click(); }, kGogo, true, true, false},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(dialog_->settings().fileFormat, step.fileFormat) << step.name;
        EXPECT_EQ(c().outputRate->isEnabled(), step.outputRate) << step.name;
        EXPECT_EQ(c().mp3Vbr->isEnabled(), step.mp3Vbr) << step.name;
        EXPECT_EQ(c().vbrLevel->isEnabled(), step.vbrLevel) << step.name;
    }
    EXPECT_EQ(dialog_->settings().mp3Vbr, 0);
}

TEST_F(RecorderDialogTest, SilenceRuleKeepsTheValuesWhileOff) {
    open();
    c().silenceDetection->click();
    EXPECT_EQ(dialog_->settings().silenceDetection, 1);
    EXPECT_TRUE(c().silenceLevel->isEnabled());
    EXPECT_TRUE(c().silencePeriod->isEnabled());
    type(c().silenceLevel, QStringLiteral("50"));
    type(c().silencePeriod, QStringLiteral("30"));  // out of range: 3 comes back

    c().silenceDetection->click();
    EXPECT_EQ(dialog_->settings().silenceDetection, 0);
    EXPECT_FALSE(c().silenceLevel->isEnabled());
    EXPECT_FALSE(c().silencePeriod->isEnabled());
    EXPECT_EQ(dialog_->settings().silenceLevel, 50);
    EXPECT_EQ(c().silenceLevel->text(), QStringLiteral("50"));
    EXPECT_EQ(dialog_->settings().silencePeriod, 3);
    EXPECT_EQ(c().silencePeriod->text(), QStringLiteral("3"));
}

TEST_F(RecorderDialogTest, NumberCheckTakesCNumbersAndPutsBackTheLastValidOne) {
    open();
    struct Row {
        const char* typed;
        int stored;
        const char* shown;
    };
    const Row rows[] = {
        {"45", 45, "45"}, {"0x3C", 60, "0x3C"}, {"010", 8, "010"}, {"0", 8, "8"},
        {"-5", 8, "8"},   {"604800", 8, "8"},   {"abc", 8, "8"},   {"604799", 604799, "604799"},
    };
    for (const Row& row : rows) {
        type(c().recTime, QString::fromLatin1(row.typed));
        EXPECT_EQ(dialog_->settings().recTime, row.stored) << row.typed;
        EXPECT_EQ(c().recTime->text(), QString::fromLatin1(row.shown)) << row.typed;
    }
}

TEST_F(RecorderDialogTest, TextBoxesAndListsChangeTheRecord) {
    open();
    type(c().filePath, QString(300, u'録'));
    EXPECT_EQ(QString::fromStdString(dialog_->settings().filePath), QString(170, u'録'))
        << "260 characters, then whole characters within 511 bytes";
    type(c().filePath, QStringLiteral("/tmp/voice.mp3"));
    type(c().options, QString(600, u'o'));
    EXPECT_EQ(dialog_->settings().options, std::string(511, 'o'));
    type(c().options, QStringLiteral("-x"));

    choose(c().recParam, 0);
    choose(c().boost, 1);
    choose(c().outputRate, 0);
    choose(c().rateConversion, 2);
    c().mp3Vbr->click();
    choose(c().vbrLevel, 9);
    c().vbrLevel->lineEdit()->selectAll();
    QTest::keyClicks(c().vbrLevel, QStringLiteral("3"));
    QTest::keyClick(c().vbrLevel, Qt::Key_Return);
    EXPECT_EQ(dialog_->settings().vbrLevel, 9) << "typing into the level's field changes nothing";
    EXPECT_EQ(BuildCommandLine(dialog_->settings()),
              "trelcap -t 60 -b 32 -f 1 -bs1 -sr 44.1 -v 9 -x \"/tmp/voice.mp3\"");
}

TEST_F(RecorderDialogTest, OnlyExitEndsTheDialogAndSavesOnceWithTheFocusedBox) {
    CRecorderDlg& dialog = open();
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.close());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(settingsFileExists());

    // EXIT (or Enter) with the focus still in a box takes the box first.
    dialog.activateWindow();
    c().recTime->setFocus();
    c().recTime->setText(QStringLiteral("90"));
    c().exit->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.consoleWindow(), nullptr) << "the console is freed";
    EXPECT_EQ(LoadSettings(settingsPath()).recTime, 90);
    dialog_.reset();
    EXPECT_EQ(LoadSettings(settingsPath()).recTime, 90);
}

TEST_F(RecorderDialogTest, ClosingTheConsoleEndsTheProgramAndNothingIsSavedWithoutExit) {
    CRecorderDlg& dialog = open();
    type(c().recTime, QStringLiteral("90"));
    dialog.consoleWindow()->close();
    EXPECT_EQ(endProcessCalls_, 1);
    EXPECT_FALSE(settingsFileExists());
    dialog_.reset();
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, RecordStartAndStopWithTheBannersAndControls) {
    CRecorderDlg& dialog = open();
    QSignalSpy ended(&dialog.session(), &RecordingSession::recorderEnded);
    type(c().filePath, QStringLiteral("/tmp/voice.mp3"));
    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Recording);
    EXPECT_EQ(c().record->text(), QStringLiteral("REC STOP"));
    EXPECT_EQ(enabledControls(), QStringList{"record"});
    // The recorder is up and handles SIGINT once it counts.
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("0 sec")); }));

    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Stopping);
    EXPECT_EQ(enabledControls(), QStringList{});
    EXPECT_FALSE(dialog.close()) << "no way out while stopping";
    dialog.session().OnRecord(dialog.settings());
    EXPECT_EQ(dialog.recState(), RecState::Stopping) << "a record click while stopping is ignored";

    ASSERT_TRUE(waitForIdle());
    ASSERT_EQ(ended.count(), 1);
    const int status = ended.at(0).at(0).toInt();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), kIdleDefaults);
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("END")); }));
    const QString text = consoleText();
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "---------START---------\ntrelcap -t 60 -b 128 -f 12  \"/tmp/voice.mp3\"\n\n")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("stopped by interrupt\n----------END----------\n")))
        << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("---------START---------")), 1);
    EXPECT_TRUE(presenter_.messages.isEmpty());
}

TEST_F(RecorderDialogTest, CtrlCInTheConsoleStopsARecordingAndTheNextEndsByItself) {
    CRecorderDlg& dialog = open();
    c().record->click();
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("0 sec")); }));
    QTest::keyClick(dialog.consoleWindow()->view(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(waitForIdle());
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("END")); }));
    EXPECT_TRUE(consoleText().contains(QStringLiteral("^C")));
    EXPECT_TRUE(consoleText().contains(QStringLiteral("stopped by interrupt")));

    // The next recording, on the same console, ends by itself and gives the controls back.
    type(c().filePath, QStringLiteral("/tmp/out file.mp3"));
    c().silenceDetection->click();
    type(c().recTime, QStringLiteral("1"));
    c().record->click();
    EXPECT_EQ(enabledControls(), QStringList{"record"});
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    QStringList expected = kIdleDefaults;
    expected.insert(8, QStringLiteral("silenceLevel"));
    expected.insert(9, QStringLiteral("silencePeriod"));
    EXPECT_EQ(enabledControls(), expected);
    EXPECT_EQ(dialog.settings().recTime, 1);

    // The recorder got the path as one argument and ran on a terminal of its own.
    ASSERT_TRUE(WaitFor(
        [&] { return consoleText().count(QStringLiteral("----------END----------\n")) == 2; }));
    EXPECT_TRUE(consoleText().endsWith(
        QStringLiteral("\n---------START---------\n"
                       "trelcap -t 1 -b 128 -f 12 -sl 10 -ms 3  \"/tmp/out file.mp3\"\n"
                       "\n"
                       "fake recorder: [-t] [1] [-b] [128] [-f] [12] [-sl] [10] [-ms] [3] "
                       "[/tmp/out file.mp3]\n"
                       "terminal: yes, group leader: yes\n"
                       "0 sec\n"
                       "time passed\n"
                       "----------END----------\n")))
        << consoleText().toStdString();
    EXPECT_EQ(consoleText().count(QStringLiteral("---------START---------")), 2);
}

TEST_F(RecorderDialogTest, RecorderThatCannotBeStartedIsReported) {
    const QString notAProgram = dir_.filePath(QStringLiteral("trelcap"));
    QFile file(notAProgram);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("no interpreter line, no machine code\n");
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    file.close();
    const std::pair<const char*, RecorderLocator> rows[] = {
        {"not found", testing::NoRecorderLocator()},
        {"found but not a program",
         [&](std::string_view) { return std::optional<std::string>(notAProgram.toStdString()); }},
    };
    for (const auto& [name, locator] : rows) {
        presenter_.messages.clear();
        CRecorderDlg& dialog = open(locator);
        choose(c().fileFormat, kWav);
        c().record->click();
        EXPECT_EQ(dialog.recState(), RecState::Idle) << name;
        EXPECT_EQ(presenter_.messages,
                  QStringList{QStringLiteral(
                      "Failed spawning process:\r\ntrelcap -t 60 -b 128 -f 12 -WAV  \"\"")})
            << name;
        EXPECT_EQ(c().record->text(), QStringLiteral("REC START")) << name;
        QStringList expected = kIdleDefaults;
        expected.removeOne(QStringLiteral("outputRate"));
        expected.removeOne(QStringLiteral("mp3Vbr"));
        EXPECT_EQ(enabledControls(), expected) << name;
        ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("-WAV")); }))
            << name;
        EXPECT_FALSE(consoleText().contains(QStringLiteral("END"))) << name;
    }
}

// A WAV file of silence, 16-bit PCM.
void WriteSilentWav(const QString& path, int rate, int channels, int seconds) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto dataSize = static_cast<quint32>(rate * channels * 2 * seconds);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataSize);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(channels) << quint32(rate)
        << quint32(rate * channels * 2) << quint16(channels * 2) << quint16(16);
    out.writeRawData("data", 4);
    out << dataSize;
    file.write(QByteArray(static_cast<qsizetype>(dataSize), '\0'));
}

// The real recorder, fed from a file at a device's pace, stopped with REC STOP.
TEST_F(RecorderDialogTest, RealRecorderStopsAndLeavesItsFile) {
    const char* binDir = std::getenv("ORVANE_BIN_DIR");
    const QString recorderDir = QString::fromUtf8(binDir != nullptr ? binDir : "");
    if (!QFileInfo(recorderDir + QStringLiteral("/trelcap")).isExecutable()) {
        GTEST_SKIP() << "trelcap is not built beside the front end";
    }
    const QString input = dir_.filePath(QStringLiteral("in.wav"));
    WriteSilentWav(input, 44100, 2, 30);
    const QString output = dir_.filePath(QStringLiteral("out put.wav"));

    CRecorderDlg& dialog = open(
        [recorderDir](std::string_view name) { return LocateRecorder(name, recorderDir, {}); });
    QSignalSpy ended(&dialog.session(), &RecordingSession::recorderEnded);
    type(c().filePath, output);
    type(c().options, QStringLiteral("-i \"") + input + QStringLiteral("\" -realtime"));
    choose(c().fileFormat, kWav);
    c().record->click();
    ASSERT_EQ(dialog.recState(), RecState::Recording)
        << presenter_.messages.join(u'|').toStdString();
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral(" s  [")); }, 20000))
        << consoleText().toStdString();
    c().record->click();
    ASSERT_TRUE(waitForIdle());
    ASSERT_EQ(ended.count(), 1);
    const int status = ended.at(0).at(0).toInt();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << consoleText().toStdString();
    ASSERT_TRUE(WaitFor(
        [&] { return consoleText().endsWith(QStringLiteral("----------END----------\n")); }));
    const qint64 size = QFileInfo(output).size();
    EXPECT_GT(size, 44) << consoleText().toStdString();
    EXPECT_LT(size, 44 + 30 * 44100 * 4) << "stopped early";
}

}  // namespace
}  // namespace trelcapg
