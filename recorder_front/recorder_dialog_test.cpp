#include "recorder_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLabel>
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
        const std::pair<const char*, QWidget*> all[] = {{"filePath", c().filePath},
                                                        {"recParam", c().recParam},
                                                        {"boost", c().boost},
                                                        {"recTime", c().recTime},
                                                        {"outputRate", c().outputRate},
                                                        {"rateConversion", c().rateConversion},
                                                        {"fileFormat", c().fileFormat},
                                                        {"silenceDetection", c().silenceDetection},
                                                        {"silenceLevel", c().silenceLevel},
                                                        {"silencePeriod", c().silencePeriod},
                                                        {"vbrLevel", c().vbrLevel},
                                                        {"options", c().options},
                                                        {"record", c().record},
                                                        {"clear", c().clear},
                                                        {"exit", c().exit},
                                                        {"mp3Vbr", c().mp3Vbr}};
        QStringList names;
        for (const auto& [name, widget] : all) {
            if (widget->isEnabled()) {
                names << QString::fromLatin1(name);
            }
        }
        return names;
    }

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

    // The defaults, as the controls show them.
    void expectDefaultsShown() const {
        EXPECT_EQ(c().filePath->text(), QString());
        EXPECT_EQ(c().recParam->currentText(), QStringLiteral("44kHz, Stereo, 16-bit"));
        EXPECT_EQ(c().boost->currentText(), QStringLiteral("0"));
        EXPECT_EQ(c().recTime->text(), QStringLiteral("60"));
        EXPECT_EQ(c().outputRate->currentText(), QStringLiteral("128"));
        EXPECT_EQ(c().rateConversion->currentText(), QStringLiteral("---"));
        EXPECT_EQ(c().fileFormat->currentText(), QStringLiteral("GOGO"));
        EXPECT_FALSE(c().silenceDetection->isChecked());
        EXPECT_EQ(c().silenceLevel->text(), QStringLiteral("10"));
        EXPECT_EQ(c().silencePeriod->text(), QStringLiteral("3"));
        EXPECT_FALSE(c().mp3Vbr->isChecked());
        EXPECT_EQ(c().vbrLevel->currentText(), QStringLiteral("6"));
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
    expectDefaultsShown();
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), kIdleDefaults);

    ASSERT_NE(dialog.consoleWindow(), nullptr);
    EXPECT_TRUE(dialog.consoleWindow()->isVisible());
    EXPECT_EQ(dialog.consoleWindow()->windowTitle(), QStringLiteral("Output - TrelcapG"));
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, ShowsTheSavedSettings) {
    RecorderSettings saved;
    saved.filePath = "/home/user/録音.mp3";
    saved.recParam = 3;
    saved.boost = 2;
    saved.recTime = 125;
    saved.outputRate = 9;
    saved.rateConversion = 1;
    saved.fileFormat = kLame;
    saved.silenceDetection = 1;
    saved.silenceLevel = 20;
    saved.silencePeriod = 5;
    saved.mp3Vbr = 1;
    saved.vbrLevel = 2;
    saved.options = "-x";
    ASSERT_TRUE(SaveSettings(settingsPath(), saved));
    CRecorderDlg& dialog = open();
    EXPECT_EQ(dialog.settings(), saved);
    EXPECT_EQ(c().filePath->text(), QStringLiteral("/home/user/録音.mp3"));
    EXPECT_EQ(c().recParam->currentText(), QStringLiteral("11kHz, Mono, 16-bit"));
    EXPECT_EQ(c().boost->currentText(), QStringLiteral("2"));
    EXPECT_EQ(c().recTime->text(), QStringLiteral("125"));
    EXPECT_EQ(c().outputRate->currentText(), QStringLiteral("320"));
    EXPECT_EQ(c().rateConversion->currentText(), QStringLiteral("32.0"));
    EXPECT_EQ(c().fileFormat->currentText(), QStringLiteral("LAME"));
    EXPECT_EQ(c().silenceLevel->text(), QStringLiteral("20"));
    EXPECT_EQ(c().silencePeriod->text(), QStringLiteral("5"));
    EXPECT_EQ(c().vbrLevel->currentText(), QStringLiteral("2"));
    EXPECT_EQ(c().options->text(), QStringLiteral("-x"));
    EXPECT_EQ(enabledControls().size(), 16) << enabledControls().join(u',').toStdString();
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

TEST_F(RecorderDialogTest, ClearShowsTheDefaultsWithoutSaving) {
    open();
    type(c().filePath, QStringLiteral("/tmp/x.wav"));
    choose(c().recParam, 0);
    choose(c().boost, 2);
    type(c().recTime, QStringLiteral("5"));
    choose(c().outputRate, 0);
    choose(c().rateConversion, 1);
    choose(c().fileFormat, kWav);
    c().silenceDetection->click();
    type(c().silenceLevel, QStringLiteral("50"));
    type(c().silencePeriod, QStringLiteral("9"));
    type(c().options, QStringLiteral("-x"));
    c().clear->click();
    EXPECT_EQ(dialog_->settings(), RecorderSettings{});
    expectDefaultsShown();
    EXPECT_EQ(enabledControls(), kIdleDefaults);
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, OnlyExitEndsTheDialogAndSavesOnce) {
    CRecorderDlg& dialog = open();
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.close());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_FALSE(settingsFileExists());

    type(c().recTime, QStringLiteral("90"));
    c().exit->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.consoleWindow(), nullptr) << "the console is freed";
    EXPECT_EQ(LoadSettings(settingsPath()).recTime, 90);
    dialog_.reset();
    EXPECT_EQ(LoadSettings(settingsPath()).recTime, 90);
}

TEST_F(RecorderDialogTest, ExitByEnterInABoxTakesTheBoxFirst) {
    CRecorderDlg& dialog = open();
    dialog.activateWindow();
    c().recTime->setFocus();
    c().recTime->setText(QStringLiteral("33"));
    dialog.accept();  // what Enter on the default button does
    EXPECT_EQ(LoadSettings(settingsPath()).recTime, 33);
}

TEST_F(RecorderDialogTest, NotSavedWithoutExit) {
    open();
    type(c().recTime, QStringLiteral("90"));
    dialog_.reset();
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, RecordStartAndStopWithTheBannersAndControls) {
    CRecorderDlg& dialog = open();
    type(c().filePath, QStringLiteral("/tmp/voice.mp3"));
    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Recording);
    EXPECT_EQ(c().record->text(), QStringLiteral("REC STOP"));
    EXPECT_EQ(enabledControls(), QStringList{"record"});
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("0 sec")); }));

    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Stopping);
    EXPECT_EQ(enabledControls(), QStringList{});
    EXPECT_FALSE(dialog.close()) << "no way out while stopping";

    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), kIdleDefaults);
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("END")); }));
    const QString text = consoleText();
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "---------START---------\ntrelcap -t 60 -b 128 -f 12  \"/tmp/voice.mp3\"\n\n")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("stopped by interrupt\n----------END----------\n")))
        << text.toStdString();
    EXPECT_TRUE(presenter_.messages.isEmpty());
}

TEST_F(RecorderDialogTest, RecordingThatEndsByItselfRestoresTheControls) {
    CRecorderDlg& dialog = open();
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
}

TEST_F(RecorderDialogTest, RecorderThatCannotBeStartedIsReported) {
    CRecorderDlg& dialog = open(testing::NoRecorderLocator());
    choose(c().fileFormat, kWav);
    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Idle);
    EXPECT_EQ(presenter_.messages,
              QStringList{QStringLiteral(
                  "Failed spawning process:\r\ntrelcap -t 60 -b 128 -f 12 -WAV  \"\"")});
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    QStringList expected = kIdleDefaults;
    expected.removeOne(QStringLiteral("outputRate"));
    expected.removeOne(QStringLiteral("mp3Vbr"));
    EXPECT_EQ(enabledControls(), expected);
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("-WAV")); }));
    EXPECT_FALSE(consoleText().contains(QStringLiteral("END")));
}

TEST_F(RecorderDialogTest, ClosingTheConsoleEndsTheProgramWithoutSaving) {
    CRecorderDlg& dialog = open();
    dialog.consoleWindow()->close();
    EXPECT_EQ(endProcessCalls_, 1);
    EXPECT_FALSE(settingsFileExists());
}

TEST_F(RecorderDialogTest, TabOrderFollowsTheTemplate) {
    open();
    c().silenceDetection->click();
    c().mp3Vbr->click();
    const QList<QWidget*> expected = {
        c().filePath,     c().recParam,       c().boost,      c().recTime,
        c().outputRate,   c().rateConversion, c().fileFormat, c().silenceDetection,
        c().silenceLevel, c().silencePeriod,  c().vbrLevel,   c().options,
        c().record,       c().clear,          c().exit,       c().mp3Vbr};
    QList<QWidget*> chain;
    QWidget* w = c().filePath;
    do {
        if (expected.contains(w)) {
            chain << w;
        }
        w = w->nextInFocusChain();
    } while (w != c().filePath && chain.size() < 32);
    EXPECT_EQ(chain, expected);
}

// A WAV file of silence, 16-bit PCM.
void WriteSilentWav(const QString& path, int rate, int channels, int seconds) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const quint32 dataSize = static_cast<quint32>(rate * channels * 2 * seconds);
    auto le32 = [&](quint32 v) {
        const char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                           char((v >> 24) & 0xFF)};
        file.write(b, 4);
    };
    auto le16 = [&](quint16 v) {
        const char b[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
        file.write(b, 2);
    };
    file.write("RIFF");
    le32(36 + dataSize);
    file.write("WAVEfmt ");
    le32(16);
    le16(1);
    le16(static_cast<quint16>(channels));
    le32(static_cast<quint32>(rate));
    le32(static_cast<quint32>(rate * channels * 2));
    le16(static_cast<quint16>(channels * 2));
    le16(16);
    file.write("data");
    le32(dataSize);
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

TEST(AboutBoxTest, CaptionTextsAndMenuEntry) {
    CAboutDlg about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報 TrelcapG"));
    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("TrelcapG Version 2.8")));
    const auto buttons = about.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 1);
    EXPECT_TRUE(buttons[0]->isDefault());
    about.show();
    buttons[0]->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_EQ(CRecorderDlg::AboutEntryText(), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(TrelcapG) (&A)..."));
}

}  // namespace
}  // namespace trelcapg
