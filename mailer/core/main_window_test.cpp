#include "main_window.h"
#include "agent.h"
#include "character.h"
#include "fake_mail_component.h"
#include "focus_convention.h"
#include "mail_store.h"
#include "shell_wait.h"
#include "test_support.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

QString sourceFile(const QString& relative) {
    return QDir(qEnvironmentVariable("ORVANE_SOURCE_DIR")).filePath(relative);
}

// A program folder of its own, with the shipped help and a character file,
// and a window started on it.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("ORVANE_HOME", home.path().toUtf8());
        ASSERT_TRUE(
            QFile::copy(sourceFile("mailer/resources/help.txt"), home.filePath("help.txt")));
        QDir(home.path()).mkpath("characters");
        QFile acs(home.filePath("characters/genie.acs"));
        ASSERT_TRUE(acs.open(QIODevice::WriteOnly));
        acs.write("name=Genie\n");
    }
    void TearDown() override { qunsetenv("ORVANE_HOME"); }

    MainWindow& start() {
        auto opened = MailStore::open(home.filePath("speak_mail.mdb"));
        store.emplace(std::move(std::get<MailStore>(opened)));
        speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        options.characterDirs = {home.filePath("characters")};
        agent = std::make_unique<speech::Agent>(options);
        MailerServices services;
        services.store = &*store;
        services.agent = agent.get();
        services.programFolder = home.path();
        services.createMailComponent = [this] {
            auto fake = std::make_unique<mail::FakeMailComponent>();
            mailFake = fake.get();
            return fake;
        };
        services.openDocument = [this](const QString& path) {
            opened_documents << path;
            return openSucceeds;
        };
        services.quit = [this](int status) { quitStatus = status; };
        window = std::make_unique<MainWindow>(std::move(services));
        window->show();
        window->Form_Load();
        return *window;
    }
    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    template <typename T>
    T* control(const char* name) {
        return window->findChild<T*>(name);
    }

    QTemporaryDir home;
    std::optional<MailStore> store;
    std::unique_ptr<speech::Agent> agent;
    std::unique_ptr<MainWindow> window;
    mail::FakeMailComponent* mailFake = nullptr;
    QStringList opened_documents;
    bool openSucceeds = true;
    std::optional<int> quitStatus;
};

}  // namespace

TEST_F(MainWindowTest, StartUpOnAFreshFolderSaysTheTimeFirst) {
    MainWindow& w = start();
    EXPECT_TRUE(QFile::exists(home.filePath("speak_mail.mdb")));
    EXPECT_TRUE(QDir(home.filePath("mail")).exists());
    EXPECT_EQ(w.mail_dir(), home.filePath("mail"));
    ASSERT_FALSE(spoken().isEmpty());
    EXPECT_TRUE(QRegularExpression("^\\d\\d時\\d\\d分$").match(spoken().first()).hasMatch())
        << spoken().first().toStdString();
    EXPECT_EQ(w.windowTitle(), "Orvane Mailer V 2.0");
    EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(control<QLabel>("shortcut01")->text(),
              "[ctrl-A:メール一覧　ctrl-N:メール作成 CTRL-R:返信 CTRL-P:件名");
    EXPECT_EQ(control<QLabel>("shortcut02")->text(),
              "[矢印:選択 ENTER:読む INS:送信者をアドレス帳へ登録 DEL:削除 ESC:返信 SPACE:移動]");
    EXPECT_EQ(w.current_folder(), kReceivedFolder);
    ASSERT_NE(w.character(), nullptr);
    EXPECT_TRUE(w.character()->isVisible());
    EXPECT_EQ(w.character()->position(), QPoint(400, 300));
    EXPECT_EQ(w.character()->languageId(), 1041);
    EXPECT_FALSE(w.character()->soundEffectsOn());
    EXPECT_GT(w.panes_height(), 0);
}

TEST_F(MainWindowTest, MenuBarHoldsEveryCaptionAndShortcut) {
    struct Row {
        const char* name;
        const char* caption;
        QKeySequence shortcut;
    };
    const Row expected[] = {
        {"f", "ファイル(&F)", {}},
        {"newmail", "新規作(&N)", {}},
        {"fend", "終了(&X)", {}},
        {"e", "編集", {}},
        {"display_mail_list", "受信メール一覧", {}},
        {"d", "表示(&V)", {}},
        {"chose_folder", "フォルダへ移動(&G)", QKeySequence("Ctrl+Y")},
        {"tool", "ツール(&T)", {}},
        {"receive", "送受信(&S)", QKeySequence("Ctrl+M")},
        {"mail_check", "メールチェック(&C)", {}},
        {"speak_unread_mail", "未読メールを読む(&R)", QKeySequence("Ctrl+U")},
        {"read_subject", "メール表題を読む(&P)", {}},
        {"t1", "", {}},
        {"t_address", "アドレス帳(&B)", {}},
        {"t_add_address", "送信者をアドレス帳に登録する(&D)", {}},
        {"t2", "", {}},
        {"t_account", "アカウント(&A)", {}},
        {"t_option", "オプション(&O)", {}},
        {"msg", "メッセージ(&M)", {}},
        {"msg_create", "メッセージの作成(&N)", QKeySequence("Ctrl+N")},
        {"move_to_mail_list", "メール一覧へ移動(&A)", QKeySequence("Ctrl+A")},
        {"msg_confirtm", "作成したメールの確認", {}},
        {"md6", "", {}},
        {"msg_template", "ひな形(&U)", {}},
        {"md1", "", {}},
        {"msg_replay", "送信者への返信(&R)", QKeySequence("Ctrl+R")},
        {"h", "ヘルプ(&H)", {}},
        {"help_help", "音声説明", QKeySequence("F1")},
        {"htmlhelp", "ＨＴＭＬ説明(&R)", {}},
    };
    MainWindow& w = start();
    std::vector<Row> actual;
    for (QAction* top : w.menuBar()->actions()) {
        actual.push_back({nullptr, nullptr, {}});
        EXPECT_EQ(top->menu()->objectName(), expected[actual.size() - 1].name);
        EXPECT_EQ(top->text(), expected[actual.size() - 1].caption);
        for (QAction* item : top->menu()->actions()) {
            const Row& row = expected[actual.size()];
            actual.push_back({nullptr, nullptr, {}});
            SCOPED_TRACE(row.name);
            EXPECT_EQ(item->objectName(), row.name);
            EXPECT_EQ(item->isSeparator(), QString(row.caption).isEmpty());
            if (!item->isSeparator()) {
                EXPECT_EQ(item->text(), row.caption);
            }
            EXPECT_EQ(item->shortcut(), row.shortcut);
        }
    }
    EXPECT_EQ(actual.size(), std::size(expected));
}

TEST_F(MainWindowTest, F1SpeaksThePlaceHelpThenTheGeneralHelp) {
    // help.txt has text before its first marked line: entry 0.
    MainWindow& w = start();
    const HelpTexts& help = w.help_text();
    ASSERT_FALSE(help[0].isEmpty());
    ASSERT_FALSE(help[6].isEmpty());
    const qsizetype before = spoken().size();
    w.menuAction("help_help")->trigger();
    EXPECT_EQ(spoken().mid(before), (QStringList{help[0], help[1]}));
    EXPECT_EQ(control<QLabel>("cmd_message")->text(), "ヘルプ");

    control<QListWidget>("List2")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.input_mode() == kModeAddressBook; }, 2000));
    const qsizetype after = spoken().size();
    QTest::keyClick(control<QListWidget>("List2"), Qt::Key_F1);
    EXPECT_EQ(spoken().mid(after), (QStringList{help[6], help[1]}));
}

TEST_F(MainWindowTest, PlacesTakeFocusColourAndMenuShortcutsWinInFields) {
    MainWindow& w = start();
    auto* grid = control<QTableWidget>("MSFlexGrid1");
    auto* mailto = control<QLineEdit>("mailto");
    mailto->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mailto->hasFocus(); }, 2000));
    EXPECT_EQ(w.input_mode(), kModeAddressOrSubject);
    EXPECT_EQ(mailto->palette().color(QPalette::Base), focus_color);

    QTest::keyClick(mailto, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(grid->hasFocus());
    EXPECT_EQ(w.input_mode(), kModeMailList);
    EXPECT_EQ(mailto->palette().color(QPalette::Base), normal_color);
    EXPECT_EQ(grid->palette().color(QPalette::Base), focus_color);

    QTest::keyClick(grid, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(control<QListWidget>("List1")->hasFocus());
    EXPECT_EQ(w.input_mode(), kModeFolderList);
}

TEST_F(MainWindowTest, FarewellPausesFourSecondsThenEnds) {
    MainWindow& w = start();
    w.menuAction("fend")->trigger();
    EXPECT_EQ(spoken().last(), "プログラムを終了します");
    ASSERT_NE(mailFake, nullptr);
    EXPECT_EQ(mailFake->sleeps, QList<int>{4});
    EXPECT_EQ(quitStatus, 0);
}

TEST_F(MainWindowTest, ManualIsHandedToTheDesktopAndFailuresAreSpoken) {
    QFile::copy(sourceFile("mailer/resources/はじめにお読みください.html"),
                home.filePath("はじめにお読みください.html"));
    MainWindow& w = start();
    w.menuAction("htmlhelp")->trigger();
    EXPECT_EQ(opened_documents, QStringList{home.filePath("はじめにお読みください.html")});

    openSucceeds = false;
    w.menuAction("htmlhelp")->trigger();
    EXPECT_TRUE(spoken().last().startsWith("エラー："));
    EXPECT_TRUE(control<QLabel>("cmd_message")->text().startsWith("エラー："));
    EXPECT_FALSE(quitStatus.has_value());
}

TEST_F(MainWindowTest, MissingHelpIsReportedAndStartUpGoesOn) {
    QFile::remove(home.filePath("help.txt"));
    // Beside the test executable there is no help.txt either.
    MainWindow& w = start();
    EXPECT_TRUE(spoken().join('\n').contains("help.txt"));
    EXPECT_EQ(w.current_folder(), kReceivedFolder);
    w.menuAction("help_help")->trigger();  // empty help speaks nothing, no crash
}

TEST_F(MainWindowTest, MissingCharacterFileIsSaidByADefaultCharacter) {
    QFile::remove(home.filePath("characters/genie.acs"));
    MainWindow& w = start();
    ASSERT_NE(w.character(), nullptr);
    const QStringList said = spoken();
    ASSERT_GE(said.size(), 2);
    EXPECT_TRUE(said.first().startsWith("エラー：")) << said.first().toStdString();
    EXPECT_TRUE(said.first().contains("genie.acs"));
    EXPECT_TRUE(QRegularExpression("^\\d\\d時\\d\\d分$").match(said[1]).hasMatch());
}

TEST(MailerProgram, RefusesAStoreThatIsNotADatabaseAndLeavesItAlone) {
    const QString program = QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("orvane");
    if (!QFile::exists(program)) {
        GTEST_SKIP() << "orvane is not built";
    }
    QTemporaryDir home;
    const QByteArray garbage = QByteArray("PK\x03\x04 not a store ", 20).repeated(100);
    QFile f(home.filePath("speak_mail.mdb"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(garbage);
    f.close();

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVANE_HOME", home.path());
    env.insert("ORVANE_TRANSCRIPT", home.filePath("t.txt"));
    env.insert("ORVANE_SPEECH", "none");
    p.setProcessEnvironment(env);
    p.start(program, {});
    ASSERT_TRUE(p.waitForFinished(30000));
    EXPECT_NE(p.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    EXPECT_TRUE(err.contains("speak_mail.mdb")) << err.toStdString();
    const QStringList said = transcriptTexts(home.filePath("t.txt"));
    ASSERT_FALSE(said.isEmpty());
    EXPECT_TRUE(said.first().contains("speak_mail.mdb"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), garbage);
}
