#include "recorder_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <tuple>

#include "command_line.h"
#include "console_window.h"
#include "decoded_audio.h"
#include "front_test_support.h"
#include "pseudo_terminal.h"

namespace trelcapg {
namespace {

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
        dialog_ = std::make_unique<CRecorderDlg>(
            FrontEndEnvironment{.applicationName = QStringLiteral("TrelcapG"),
                                .settingsPath = settingsPath(),
                                .locateRecorder = std::move(locator),
                                .messages = &presenter_,
                                .endProcess = [this] { ++endProcessCalls_; }});
        EXPECT_TRUE(dialog_->OnInitDialog());
        dialog_->show();
        return *dialog_;
    }

    std::string settingsPath() const { return dir_.filePath("TrelcapG.dat").toStdString(); }
    const CRecorderDlg::Controls& c() const { return dialog_->controls(); }

    // The controls in tab order, and their names.
    std::vector<const QWidget*> inTabOrder() const {
        return {c().filePath,     c().recParam,       c().boost,      c().recTime,
                c().outputRate,   c().rateConversion, c().fileFormat, c().silenceDetection,
                c().silenceLevel, c().silencePeriod,  c().vbrLevel,   c().options,
                c().record,       c().clear,          c().exit,       c().mp3Vbr};
    }
    const QStringList kNames =
        QStringList{"filePath",     "recParam",       "boost",      "recTime",
                    "outputRate",   "rateConversion", "fileFormat", "silenceDetection",
                    "silenceLevel", "silencePeriod",  "vbrLevel",   "options",
                    "record",       "clear",          "exit",       "mp3Vbr"};
    // Enabled when the record shows GOGO, no VBR and no silence detection.
    const QStringList kIdleDefaults =
        without(kNames, {"silenceLevel", "silencePeriod", "vbrLevel"});

    static QStringList without(QStringList names, const QStringList& gone) {
        names.removeIf([&](const QString& name) { return gone.contains(name); });
        return names;
    }
    QStringList enabledControls() const {
        QStringList enabled;
        for (int i = 0; i < kNames.size(); ++i) {
            if (inTabOrder()[i]->isEnabled()) {
                enabled << kNames[i];
            }
        }
        return enabled;
    }
    // What the record's controls show (check boxes as "on" or "off").
    QStringList shown() const {
        QStringList texts;
        for (const QWidget* w : inTabOrder()) {
            if (auto* box = qobject_cast<const QLineEdit*>(w)) {
                texts << box->text();
            } else if (auto* list = qobject_cast<const QComboBox*>(w)) {
                texts << list->currentText();
            } else if (auto* check = qobject_cast<const QCheckBox*>(w)) {
                texts << (check->isChecked() ? "on" : "off");
            }
        }
        return texts;
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

    QString consoleText() const { return dialog_->consoleWindow()->screenText(); }
    // The recorder on the console has begun counting (and handles SIGINT).
    bool waitForCounting() {
        return WaitFor([&] { return consoleText().endsWith(QStringLiteral(" sec")); });
    }
    bool waitForIdle() {
        return WaitFor([&] { return dialog_->recState() == RecState::Idle; }, 20000);
    }
    bool waitForEndBanners(int count) {
        return WaitFor([&] { return consoleText().count("----------END----------\n") == count; });
    }

    QTemporaryDir dir_;
    testing::RecordingPresenter presenter_;
    int endProcessCalls_ = 0;
    std::unique_ptr<CRecorderDlg> dialog_;
};

TEST_F(RecorderDialogTest, ShowsTheSavedSettingsClearShowsTheDefaultsAndOnlyExitSaves) {
    ASSERT_TRUE(SaveSettings(settingsPath(), testing::UnusualSettings()));
    CRecorderDlg& dialog = open();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TrelcapG"));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    ASSERT_NE(dialog.consoleWindow(), nullptr);
    EXPECT_TRUE(dialog.consoleWindow()->isVisible());
    EXPECT_EQ(dialog.consoleWindow()->windowTitle(), QStringLiteral("Output - TrelcapG"));
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(shown(), (QStringList{"/home/user/録音/voice note.mp3", "22kHz, Mono, 16-bit", "2",
                                    "604799", "320", "44.1", "LAME", "on", "99", "29", "0",
                                    "-x \"quoted\" ＝ wide", "on"}));
    EXPECT_EQ(enabledControls().size(), 16) << enabledControls().join(u',').toStdString();

    c().clear->click();
    EXPECT_EQ(shown(), (QStringList{"", "44kHz, Stereo, 16-bit", "0", "60", "128", "---", "GOGO",
                                    "off", "10", "3", "6", "", "off"}));
    EXPECT_EQ(enabledControls(), kIdleDefaults);

    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.close());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(LoadSettings(settingsPath()), testing::UnusualSettings()) << "saved before EXIT";

    // EXIT (or Enter) with the focus still in a box takes the box first.
    dialog.activateWindow();
    c().recTime->setFocus();
    c().recTime->setText(QStringLiteral("90"));
    c().exit->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.consoleWindow(), nullptr) << "the console is freed";
    EXPECT_EQ(LoadSettings(settingsPath()), (RecorderSettings{.recTime = 90}));
}

// The format and VBR rules enable their controls; a number box takes C's numbers when it loses
// the focus and shows the last valid value again for anything else, and silence detection
// turned off keeps its values; texts are cut to their slots; lists change the record.
TEST_F(RecorderDialogTest, EditingTheRecord) {
    open();
    // Each step: what the user does, the format then, whether output rate, VBR and its level
    // are enabled.
    const std::tuple<const char*, std::function<void()>, int, bool, bool, bool> steps[] = {
        {"WAV", [&] { choose(c().fileFormat, kWav); }, kWav, false, false, false},
        {"LAME, VBR off", [&] { choose(c().fileFormat, kLame); }, kLame, true, true, false},
        {"VBR on", [&] { c().mp3Vbr->click(); }, kLame, true, true, true},
        {"WMA", [&] { choose(c().fileFormat, kWma); }, kWma, true, false, false},
        {"GOGO, VBR still on", [&] { choose(c().fileFormat, kGogo); }, kGogo, true, true, true},
        {"VBR off", [&] { c().mp3Vbr->click(); }, kGogo, true, true, false},
    };
    for (const auto& [name, act, fileFormat, outputRate, mp3Vbr, vbrLevel] : steps) {
        act();
        EXPECT_EQ(dialog_->settings().fileFormat, fileFormat) << name;
        EXPECT_EQ(c().outputRate->isEnabled(), outputRate) << name;
        EXPECT_EQ(c().mp3Vbr->isEnabled(), mp3Vbr) << name;
        EXPECT_EQ(c().vbrLevel->isEnabled(), vbrLevel) << name;
    }
    EXPECT_EQ(dialog_->settings().mp3Vbr, 0);

    c().silenceDetection->click();
    EXPECT_TRUE(c().silenceLevel->isEnabled() && c().silencePeriod->isEnabled());
    const auto recTime = &RecorderSettings::recTime;
    // Each row: the box, its field, what is typed, what is stored and what the box shows.
    const std::tuple<QLineEdit*, std::int32_t RecorderSettings::*, const char*, int, const char*>
        rows[] = {
            {c().recTime, recTime, "0x3C", 60, "0x3C"},
            {c().recTime, recTime, "604800", 60, "60"},
            {c().silenceLevel, &RecorderSettings::silenceLevel, "50", 50, "50"},
            {c().silencePeriod, &RecorderSettings::silencePeriod, "30", 3, "3"},
        };
    for (const auto& [box, field, typed, stored, shown] : rows) {
        type(box, QString::fromLatin1(typed));
        EXPECT_EQ(dialog_->settings().*field, stored) << typed;
        EXPECT_EQ(box->text(), QString::fromLatin1(shown)) << typed;
    }
    c().silenceDetection->click();
    EXPECT_FALSE(c().silenceLevel->isEnabled() || c().silencePeriod->isEnabled());
    EXPECT_EQ(dialog_->settings().silenceLevel, 50);
    EXPECT_EQ(c().silenceLevel->text(), QStringLiteral("50"));

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

// The real recorder, fed from a file at a device's pace, stopped with REC STOP.
TEST_F(RecorderDialogTest, RecordStartAndStopWithTheBannersControlsAndFile) {
    const QString recorderDir = qEnvironmentVariable("ORVANE_BIN_DIR");
    const QString input = dir_.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(
        orvane::recorder::testing::writeToneWav(input.toStdString(), {{30, 0.5}}, 44100, 2, 440));
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
    EXPECT_EQ(c().record->text(), QStringLiteral("REC STOP"));
    EXPECT_EQ(enabledControls(), QStringList{"record"});
    ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral(" s  [")); }, 20000))
        << consoleText().toStdString();

    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Stopping);
    EXPECT_EQ(enabledControls(), QStringList{});
    EXPECT_FALSE(dialog.close()) << "no way out while stopping";
    dialog.session().OnRecord(dialog.settings());
    EXPECT_EQ(dialog.recState(), RecState::Stopping) << "a record click while stopping is ignored";

    ASSERT_TRUE(waitForIdle());
    ASSERT_EQ(ended.count(), 1);
    const int status = ended.at(0).at(0).toInt();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << consoleText().toStdString();
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), without(kIdleDefaults, {"outputRate", "mp3Vbr"}));
    ASSERT_TRUE(waitForEndBanners(1));
    const QString text = consoleText();
    EXPECT_TRUE(text.startsWith("---------START---------\ntrelcap -t 60 -b 128 -f 12 -WAV -i \"" +
                                input + "\" -realtime \"" + output + "\"\n\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("stopped by Ctrl+C")) << text.toStdString();
    EXPECT_TRUE(text.endsWith(" bytes)\n----------END----------\n")) << text.toStdString();
    const qint64 size = QFileInfo(output).size();
    EXPECT_GT(size, 44);
    EXPECT_LT(size, 44 + 30 * 44100 * 4) << "stopped early";
}

// Ctrl+C typed into the console stops a recording; a recorder that ignores the interrupt
// keeps the dialog stopping until it ends by itself; closing the console ends the program
// at once, with its recorder and without saving.
TEST_F(RecorderDialogTest, ConsoleStopsRecordingsAndClosingItEndsTheProgram) {
    CRecorderDlg& dialog = open();
    c().record->click();
    ASSERT_TRUE(waitForCounting());
    QTest::keyClick(dialog.consoleWindow()->view(), Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(waitForIdle());
    ASSERT_TRUE(waitForEndBanners(1));
    EXPECT_TRUE(consoleText().contains(QStringLiteral("^C\nstopped by interrupt\n")));

    type(c().recTime, QStringLiteral("2"));
    type(c().options, QStringLiteral("-hold"));
    c().record->click();
    ASSERT_TRUE(waitForCounting());
    c().record->click();
    EXPECT_EQ(dialog.recState(), RecState::Stopping);
    ASSERT_TRUE(waitForIdle());
    EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
    EXPECT_EQ(enabledControls(), kIdleDefaults);
    ASSERT_TRUE(waitForEndBanners(2));
    EXPECT_TRUE(consoleText().endsWith(QStringLiteral("time passed\n----------END----------\n")))
        << consoleText().toStdString();

    // Closing the console ends the program at once, even with a recorder that ignores the
    // hang-up.
    type(c().recTime, QStringLiteral("60"));
    c().record->click();
    ASSERT_TRUE(waitForCounting());
    const pid_t recorder = *dialog.session().recorderPid();
    QElapsedTimer ending;
    ending.start();
    dialog.consoleWindow()->close();
    EXPECT_EQ(endProcessCalls_, 1);
    dialog_.reset();
    EXPECT_LT(ending.elapsed(), 10000) << "the front end waited for its recorder";
    EXPECT_EQ(::kill(recorder, 0), -1) << "the recorder outlived the front end";
    EXPECT_FALSE(QFile::exists(QString::fromStdString(settingsPath())));
}

TEST_F(RecorderDialogTest, RecorderThatCannotBeStartedIsReported) {
    const QString notAProgram = dir_.filePath(QStringLiteral("trelcap"));
    QFile file(notAProgram);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) &&
                file.write("no interpreter line, no machine code\n") > 0);
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    file.close();
    const std::pair<const char*, std::optional<std::string>> rows[] = {
        {"not found", std::nullopt}, {"found but not a program", notAProgram.toStdString()}};
    for (const auto& [name, found] : rows) {
        SCOPED_TRACE(name);
        presenter_.messages.clear();
        CRecorderDlg& dialog = open([found](std::string_view) { return found; });
        choose(c().fileFormat, kWav);
        c().record->click();
        EXPECT_EQ(dialog.recState(), RecState::Idle);
        EXPECT_EQ(presenter_.messages,
                  QStringList{QStringLiteral(
                      "Failed spawning process:\r\ntrelcap -t 60 -b 128 -f 12 -WAV  \"\"")});
        EXPECT_EQ(c().record->text(), QStringLiteral("REC START"));
        EXPECT_EQ(enabledControls(), without(kIdleDefaults, {"outputRate", "mp3Vbr"}));
        ASSERT_TRUE(WaitFor([&] { return consoleText().contains(QStringLiteral("-WAV")); }));
        EXPECT_FALSE(consoleText().contains(QStringLiteral("END")));
    }
}

}  // namespace
}  // namespace trelcapg
