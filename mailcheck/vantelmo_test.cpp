#include "vantelmo.h"

#include "agent.h"
#include "checker_test_support.h"
#include "fake_mail_component.h"
#include "tray.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <tuple>

using namespace orvane;
using namespace orvane::mailcheck;

namespace {

const QByteArray kSaved = "h\r\nu\r\np\r\n10\r\nGenie\r\n";

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

    // With `settings` in the file the first check runs at once, finding nothing.
    Vantelmo& start(const QByteArray& settings = {}) {
        if (!settings.isEmpty()) {
            QFile file(iniPath());
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(settings) > 0);
            mailFake.rcvAnswers = {QStringList()};
        }
        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        options.characterDirs = {home.filePath("characters")};
        agent = std::make_unique<speech::Agent>(options);
        CheckerServices services{agent.get(), &mailFake, &area, home.path(), {}, {}};
        services.polling.pauseBeforeClip = std::chrono::milliseconds(10);
        services.quit = [this](int status) { quitStatus = status; };
        window = std::make_unique<Vantelmo>(std::move(services));
        QSignalSpy finished(&window->polling(), &Polling::passFinished);
        window->Form_Load();
        EXPECT_TRUE(settings.isEmpty() || finished.wait(5000));
        return *window;
    }

    QString iniPath() const { return home.filePath("orvane_mail_check.ini"); }
    QStringList spoken() const { return test::transcriptTexts(home.filePath("transcript.txt")); }
    template <typename T>
    T* control(const char* name) {
        return window->findChild<T*>(name);
    }
    void save() { QTest::mouseClick(control<QPushButton>("Command1"), Qt::LeftButton); }
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
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_TRUE(spoken().last().startsWith(QStringLiteral("メールチェックの設定がありません")));
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
    control<QLineEdit>("Text1_3")->setText(QStringLiteral("１．５"));  // a Japanese input method
    save();
    EXPECT_EQ(spoken().last(), QStringLiteral("pop にカンマは使えません"));
    EXPECT_EQ(control<QLabel>("noticeLine")->text(), spoken().last());
    EXPECT_FALSE(QFile::exists(iniPath()));

    control<QLineEdit>("Text1_0")->setText("pop3://127.0.0.1:1100");
    save();
    EXPECT_EQ(fileBytes(iniPath()), "pop3://127.0.0.1:1100\r\nuser\r\nsecret\r\n1.5\r\nGenie\r\n");
    // It holds the password.
    EXPECT_EQ(QFile::permissions(iniPath()) & (QFileDevice::ReadGroup | QFileDevice::ReadOther), 0);
    EXPECT_EQ(spoken().last(), QStringLiteral("設定を保存しました"));

    // The count of 30 is past the new limit of 3: the next tick checks.
    mailFake.rcvAnswers = {QStringList()};
    w.polling().Timer1_Timer();
    waitForPass();
    ASSERT_EQ(mailFake.calls.size(), 1);
    EXPECT_EQ(mailFake.calls[0].args, QStringList({"pop3://127.0.0.1:1100", "user", "secret",
                                                   "SAVEALL", home.filePath("mail")}));
    EXPECT_TRUE(QFileInfo(home.filePath("mail")).isDir());
}

TEST_F(VantelmoTest, ACharacterThatCannotBeLoadedGivesWayToTheDefault) {
    start("h\r\nu\r\np\r\n10\r\nNobody\r\n");
    ASSERT_EQ(spoken().size(), 1);
    EXPECT_TRUE(spoken()[0].contains("Nobody.acs"));
    EXPECT_TRUE(spoken()[0].endsWith(QStringLiteral("標準のキャラクタで話します")));

    // Choosing from the list switches at once; the file learns it on saving.
    auto* combo = control<QComboBox>("Combo1");
    combo->setCurrentIndex(2);
    emit combo->textActivated(combo->currentText());
    EXPECT_EQ(spoken().last(), QStringLiteral("キャラクタを Merlin にしました"));
    EXPECT_TRUE(fileBytes(iniPath()).endsWith("Nobody\r\n"));
    save();
    EXPECT_TRUE(fileBytes(iniPath()).endsWith("Merlin\r\n"));
}

TEST_F(VantelmoTest, SavedSettingsStartHiddenBehindOneIconWithItsMouseMessagesAndMenu) {
    Vantelmo& w = start(kSaved);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(area.hostIcons, QStringList{QStringLiteral("Orvaneメールチェッカー")});
    EXPECT_EQ(mailFake.calls.size(), 1);
    EXPECT_EQ(control<QLineEdit>("Text1_2")->text(), "p");

    // Ctrl+T while the icon is there, and the host re-created twice.
    w.show();
    w.findChild<QAction*>("into_tasktry")->trigger();
    EXPECT_FALSE(w.isVisible());
    area.setHost(true);
    area.setHost(true);
    EXPECT_EQ(area.hostIcons.size(), 1);
    EXPECT_TRUE(spoken().isEmpty());

    QMenu& menu = w.tray().menupopup();
    // Each message: whether it shows the window, whether it pops the menu up.
    const std::tuple<const char*, int, bool, bool> rows[] = {
        {"left_press", LeftButtonDown, true, false},
        {"right_press", RightButtonDown, false, true},
        {"right_release", RightButtonUp, false, false},
        {"right_double_click", RightButtonDoubleClick, true, false},
        {"move", MouseMove, false, false},
    };
    for (const auto& [name, message, shows, popsUp] : rows) {
        w.hide();
        menu.hide();
        emit area.iconMessage(message, QPoint(40, 30));  // as the desktop delivers them
        EXPECT_EQ(w.isVisible(), shows) << name;
        EXPECT_EQ(menu.isVisible(), popsUp) << name;
    }

    w.hide();
    menu.findChild<QAction*>("show_me")->trigger();
    EXPECT_TRUE(w.isVisible());
    // "今すぐチェック" checks like a tick, without touching the count.
    mailFake.rcvAnswers = {QStringList()};
    w.polling().Timer1_Timer();
    menu.findChild<QAction*>("check_now")->trigger();
    waitForPass();
    EXPECT_EQ(mailFake.calls.size(), 2);
    EXPECT_EQ(control<QLabel>("Label2")->text(), "1");
    menu.findChild<QAction*>("close_me")->trigger();
    EXPECT_EQ(quitStatus, 0);
    area.setHost(true);  // after the end nothing comes back
    EXPECT_TRUE(area.hostIcons.isEmpty());
}

TEST_F(VantelmoTest, WithoutANotificationAreaTheWindowStaysAndSaysWhy) {
    const QString why =
        QStringLiteral("通知領域がないため、メールチェックの画面を表示したままにします");
    area.present = false;
    Vantelmo& w = start(kSaved);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(spoken(), QStringList{why});

    // The area appears later: the icon goes in, the window stays as it is.
    area.setHost(true);
    EXPECT_EQ(area.hostIcons.size(), 1);
    EXPECT_TRUE(w.isVisible());
    // It goes away while the window is hidden: the window comes back, saying why.
    w.findChild<QAction*>("into_tasktry")->trigger();
    EXPECT_FALSE(w.isVisible());
    area.setHost(false);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(spoken(), QStringList({why, why}));
    w.close();
    EXPECT_EQ(quitStatus, 0);
}

// The real program on one folder: a second copy says so and ends while the first runs; once
// the first has ended a new copy runs.
TEST(SecondCopy, SaysSoAndEndsWhileTheFirstRuns) {
    QTemporaryDir home;
    std::array<QProcess, 3> copies;
    // Starts copy `i` (silent and off-screen, as this test runs) and gives what it has said
    // once it has said something.
    const auto run = [&](int i) {
        const QString transcript = home.filePath(QStringLiteral("%1.txt").arg(i));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVANE_HOME", home.path());
        env.insert("ORVANE_TRANSCRIPT", transcript);
        copies[i].setProcessEnvironment(env);
        copies[i].start(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("orvane_mail_check"));
        (void)QTest::qWaitFor([&] { return !test::transcriptTexts(transcript).isEmpty(); }, 20000);
        return test::transcriptTexts(transcript).value(0);
    };
    const QString asksForSettings = QStringLiteral("メールチェックの設定がありません");
    EXPECT_TRUE(run(0).startsWith(asksForSettings));

    EXPECT_EQ(run(1), QStringLiteral("Orvaneメールチェッカーはすでに動いています"));
    ASSERT_TRUE(copies[1].waitForFinished(20000));
    EXPECT_TRUE(copies[1].exitStatus() == QProcess::NormalExit && copies[1].exitCode() == 0);
    EXPECT_EQ(test::transcriptTexts(home.filePath("1.txt")).size(), 1);
    EXPECT_EQ(copies[0].state(), QProcess::Running);

    copies[0].terminate();
    ASSERT_TRUE(copies[0].waitForFinished(20000));
    EXPECT_TRUE(run(2).startsWith(asksForSettings));
    copies[2].kill();
    copies[2].waitForFinished();
}

}  // namespace
