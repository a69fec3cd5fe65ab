#include "vantelmo.h"

#include "agent.h"
#include "checker_test_support.h"
#include "fake_mail_component.h"
#include "settings_file.h"
#include "settings_form.h"
#include "tray.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailcheck;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A program folder of its own with two character files, and a window on it.
class VantelmoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir(home.path()).mkpath("characters");
        for (const char* name : {"genie", "merlin"}) {
            QFile acs(home.filePath(QStringLiteral("characters/%1.acs").arg(name)));
            ASSERT_TRUE(acs.open(QIODevice::WriteOnly));
            acs.write(QByteArray("name=") + name + "\n");
        }
    }

    void writeSettings(const QByteArray& bytes) {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    Vantelmo& start() {
        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        options.characterDirs = {home.filePath("characters")};
        agent = std::make_unique<speech::Agent>(options);
        CheckerServices services;
        services.agent = agent.get();
        services.mail = &mailFake;
        services.notificationArea = &area;
        services.programFolder = home.path();
        services.polling.pauseBeforeClip = std::chrono::milliseconds(10);
        services.quit = [this](int status) { quitStatus = status; };
        window = std::make_unique<Vantelmo>(std::move(services));
        window->Form_Load();
        return *window;
    }

    QString iniPath() const { return home.filePath("orvane_mail_check.ini"); }
    QStringList spoken() const { return test::transcriptTexts(home.filePath("transcript.txt")); }
    template <typename T>
    T* control(const char* name) {
        return window->findChild<T*>(name);
    }
    void waitForPass() {
        QSignalSpy finished(&window->polling(), &Polling::passFinished);
        ASSERT_TRUE(finished.wait(5000));
    }

    QTemporaryDir home;
    mail::FakeMailComponent mailFake;
    test::FakeNotificationArea area;
    std::unique_ptr<speech::Agent> agent;
    std::unique_ptr<Vantelmo> window;
    std::optional<int> quitStatus;
};

TEST_F(VantelmoTest, FirstStartAsksForTheSettingsAndChecksOnlyOnceTheyAreSaved) {
    Vantelmo& w = start();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Orvane_音声メールチェック"));
    EXPECT_EQ(control<QLineEdit>("Text1_3")->text(), "10");
    EXPECT_EQ(control<QComboBox>("Combo1")->currentText(), QStringLiteral("選択してください"));
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_TRUE(spoken().last().endsWith(QStringLiteral("保存を押してください")));
    EXPECT_EQ(control<QLabel>("noticeLine")->text(), spoken().last());
    EXPECT_EQ(area.hostIcons.size(), 1);

    for (int i = 0; i < 30; ++i) {
        w.polling().Timer1_Timer();
    }
    EXPECT_TRUE(mailFake.calls.isEmpty());
    EXPECT_EQ(control<QLabel>("Label2")->text(), "30");

    control<QLineEdit>("Text1_0")->setText("pop3://127.0.0.1:1100,");
    control<QLineEdit>("Text1_1")->setText("user");
    control<QLineEdit>("Text1_2")->setText("secret");
    control<QLineEdit>("Text1_3")->setText(QStringLiteral("１．５"));
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(spoken().last(), QStringLiteral("pop にカンマは使えません"));
    EXPECT_EQ(control<QLabel>("noticeLine")->text(), spoken().last());
    EXPECT_FALSE(QFile::exists(iniPath()));

    control<QLineEdit>("Text1_0")->setText("pop3://127.0.0.1:1100");
    QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton);
    EXPECT_EQ(fileBytes(iniPath()), "pop3://127.0.0.1:1100\r\nuser\r\nsecret\r\n1.5\r\nGenie\r\n");
    EXPECT_EQ(spoken().last(), QStringLiteral("設定を保存しました"));

    // The count of 30 is past the new limit of 3: the next tick checks.
    mailFake.rcvAnswers = {QStringList()};
    w.polling().Timer1_Timer();
    waitForPass();
    ASSERT_EQ(mailFake.calls.size(), 1);
    EXPECT_EQ(mailFake.calls[0].args.mid(0, 4),
              QStringList({"pop3://127.0.0.1:1100", "user", "secret", "SAVEALL"}));
    EXPECT_EQ(mailFake.calls[0].args[4], home.filePath("mail"));
    EXPECT_TRUE(QFileInfo(home.filePath("mail")).isDir());
}

TEST_F(VantelmoTest, ACharacterThatCannotBeLoadedGivesWayToTheDefault) {
    writeSettings("h\r\nu\r\np\r\n10\r\nNobody\r\n");
    mailFake.rcvAnswers = {QStringList()};
    start();
    waitForPass();
    ASSERT_EQ(spoken().size(), 1);
    EXPECT_TRUE(spoken()[0].contains("Nobody.acs"));
    EXPECT_TRUE(spoken()[0].endsWith(QStringLiteral("標準のキャラクタで話します")));

    // Choosing from the list switches at once; the file learns it on saving.
    auto* combo = control<QComboBox>("Combo1");
    combo->setCurrentIndex(2);
    emit combo->textActivated(combo->currentText());
    EXPECT_EQ(spoken().last(), QStringLiteral("キャラクタを Merlin にしました"));
    EXPECT_TRUE(fileBytes(iniPath()).endsWith("Nobody\r\n"));
    control<QPushButton>("Command1")->click();
    EXPECT_TRUE(fileBytes(iniPath()).endsWith("Merlin\r\n"));
}

TEST_F(VantelmoTest, SavedSettingsStartHiddenWithACheckMenusAndEnding) {
    writeSettings("h\r\nu\r\np\r\n10\r\nGenie\r\n");
    mailFake.rcvAnswers = {QStringList(), QStringList()};
    Vantelmo& w = start();
    waitForPass();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(area.hostIcons, QStringList{QStringLiteral("Orvaneメールチェッカー")});
    EXPECT_EQ(mailFake.calls.size(), 1);
    EXPECT_EQ(w.polling().tickLimit(), 20);
    EXPECT_TRUE(spoken().isEmpty());
    EXPECT_EQ(control<QLineEdit>("Text1_2")->text(), "p");

    QStringList captions;
    for (QAction* menu : w.menuBar()->actions()) {
        captions << menu->text();
    }
    EXPECT_EQ(captions, QStringList({"ファイル(&F)", "編集(&E)", "ヘルプ(&H)"}));
    auto* intoTray = w.findChild<QAction*>("into_tasktry");
    ASSERT_TRUE(intoTray);
    EXPECT_EQ(intoTray->text(), QStringLiteral("タスクトレイへ入れる(&T)"));
    EXPECT_EQ(intoTray->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_T));
    EXPECT_EQ(w.findChild<QAction*>("fend")->text(), QStringLiteral("終了(&X)"));

    emit area.iconMessage(LeftButtonDoubleClick, QPoint());
    EXPECT_TRUE(w.isVisible());
    intoTray->trigger();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(area.hostIcons.size(), 1);

    // "今すぐチェック" checks like a tick, without touching the count.
    w.polling().Timer1_Timer();
    w.tray().menupopup().findChild<QAction*>("check_now")->trigger();
    waitForPass();
    EXPECT_EQ(mailFake.calls.size(), 2);
    EXPECT_EQ(w.polling().tickCount(), 1);

    w.show();
    w.close();
    EXPECT_EQ(quitStatus, 0);
    EXPECT_TRUE(area.hostIcons.isEmpty());
}

// The real program, twice on one folder.
TEST(SecondCopy, SaysSoAndEndsWhileTheFirstRuns) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVANE_HOME", home.path());
    env.insert("ORVANE_SPEECH", "none");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    const QString program =
        QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("orvane_mail_check");

    QProcess first;
    env.insert("ORVANE_TRANSCRIPT", home.filePath("first.txt"));
    first.setProcessEnvironment(env);
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    // Running once it has asked for its settings.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !test::transcriptTexts(home.filePath("first.txt")).isEmpty(); }, 20000));

    QProcess second;
    env.insert("ORVANE_TRANSCRIPT", home.filePath("second.txt"));
    second.setProcessEnvironment(env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(test::transcriptTexts(home.filePath("second.txt")),
              QStringList{QStringLiteral("Orvaneメールチェッカーはすでに動いています")});
    EXPECT_EQ(first.state(), QProcess::Running);

    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    // Once the first has ended, a new copy may run.
    QProcess third;
    env.insert("ORVANE_TRANSCRIPT", home.filePath("third.txt"));
    third.setProcessEnvironment(env);
    third.start(program, {});
    ASSERT_TRUE(third.waitForStarted());
    EXPECT_FALSE(third.waitForFinished(1000));
    third.kill();
    third.waitForFinished();
}

}  // namespace
