#include "command_table.h"

#include "agent.h"
#include "announcer.h"
#include "mail_store.h"
#include "test_support.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

// A window with a field and a list (a place), a command table on it, and
// every run of a handler counted by name.
class CommandTableTest : public ::testing::Test {
  protected:
    void SetUp() override {
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));

        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        field = new QLineEdit(central);
        list = new QListWidget(central);
        list->addItems({"a", "b"});
        layout->addWidget(field);
        layout->addWidget(list);
        window.setCentralWidget(central);
    }

    std::function<void()> counting(const QString& name) {
        return [this, name] { ++runs[name]; };
    }

    void install(std::vector<Command> commands) {
        table = std::make_unique<CommandTable>(
            announcer, std::vector<MenuDefinition>{{"m1", "一(&1)"}, {"m2", "二"}},
            std::move(commands));
        table->install(&window, window.menuBar());
        table->attachPlace(Place::FolderList, list);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }

    QTemporaryDir dir;
    std::unique_ptr<speech::Agent> agent;
    QLabel status;
    QLabel guide;
    Announcer announcer{&status, &guide};
    QMainWindow window;
    QLineEdit* field = nullptr;
    QListWidget* list = nullptr;
    std::unique_ptr<CommandTable> table;
    std::map<QString, int> runs;
};

}  // namespace

TEST_F(CommandTableTest, RefusedCommandIsSpokenShownAndNotStarted) {
    bool allowed = false;
    install(
        {{"act",
          "実行",
          {},
          "m1",
          Place::Window,
          {{[] { return true; }, "一つ目"}, {[&] { return allowed; }, "メールを選んでください"}},
          counting("act"),
          {}}});
    EXPECT_FALSE(table->run("act"));
    EXPECT_EQ(runs["act"], 0);
    EXPECT_EQ(spoken(), QStringList{"メールを選んでください"});
    EXPECT_EQ(status.text(), "メールを選んでください");

    allowed = true;
    table->action("act")->trigger();
    EXPECT_EQ(runs["act"], 1);
    EXPECT_EQ(spoken().size(), 1);
    EXPECT_FALSE(table->run("no such command"));
}

TEST_F(CommandTableTest, StoreFailureInAHandlerIsSpokenAndTheProgramGoesOn) {
    install({{"write",
              "書く",
              {},
              "m1",
              Place::Window,
              {},
              [] { throw StoreError("メールストアが読み取り専用のため、書き込めませんでした"); },
              {}},
             {"next", "次", {}, "m1", Place::Window, {}, counting("next"), {}}});
    EXPECT_FALSE(table->run("write"));
    EXPECT_EQ(spoken(),
              QStringList{"エラー：メールストアが読み取り専用のため、書き込めませんでした"});
    EXPECT_TRUE(table->run("next"));
    EXPECT_EQ(runs["next"], 1);
}

TEST_F(CommandTableTest, MenusFollowTheTableOrderAndCheckedItemsFollowTheirState) {
    bool on = true;
    install({{"first", "最初", QKeySequence("Ctrl+1"), "m2", Place::Window, {}, {}, {}},
             {"sep", "-", {}, "m2", Place::Window, {}, {}, {}},
             {"toggle",
              "切り替え",
              {},
              "m1",
              Place::Window,
              {{[] { return false; }, "いまは切り替えられません"}},
              [&] { on = !on; },
              [&] { return on; }},
             {"key_only", "", QKeySequence("Ctrl+K"), "", Place::Window, {}, {}, {}}});
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "一(&1)");
    ASSERT_EQ(menus[1]->menu()->actions().size(), 2);
    EXPECT_EQ(menus[1]->menu()->actions()[0]->objectName(), "first");
    EXPECT_EQ(menus[1]->menu()->actions()[0]->shortcut(), QKeySequence("Ctrl+1"));
    EXPECT_TRUE(menus[1]->menu()->actions()[1]->isSeparator());
    EXPECT_EQ(table->action("key_only")->parent(), &window);

    QAction* toggle = table->action("toggle");
    EXPECT_TRUE(toggle->isCheckable());
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();  // refused: the item shows the state, not the click
    EXPECT_TRUE(on);
    EXPECT_TRUE(toggle->isChecked());
}

TEST_F(CommandTableTest, KeysRunTheirCommandsWhereTheyBelong) {
    install({{"window_key",
              "",
              QKeySequence("Ctrl+A"),
              "",
              Place::Window,
              {},
              counting("window_key"),
              {}},
             {"list_enter",
              "",
              QKeySequence(Qt::Key_Return),
              "",
              Place::FolderList,
              {},
              counting("list_enter"),
              {}},
             {"silence",
              "",
              QKeySequence(Qt::Key_Control),
              "",
              Place::Window,
              {},
              counting("silence"),
              {}}});
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    field->setText("abc");
    // A window key wins over the field's own Ctrl+A (select all).
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(runs["window_key"], 1);
    EXPECT_FALSE(field->hasSelectedText());
    // ENTER is the list's key only.
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(runs["list_enter"], 0);
    list->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus(); }, 2000));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(runs["list_enter"], 1);
    EXPECT_EQ(runs["silence"], 0);  // Ctrl+A pressed Ctrl, but not alone
}

TEST_F(CommandTableTest, ModifierAloneActsOnlyWhenNothingElseWasPressed) {
    install({{"silence",
              "",
              QKeySequence(Qt::Key_Control),
              "",
              Place::Window,
              {},
              counting("silence"),
              {}}});
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field->hasFocus(); }, 2000));
    struct Row {
        const char* name;
        std::function<void()> keys;
        int runs;
    };
    const Row rows[] = {
        {"Ctrl alone",
         [&] {
             QTest::keyPress(field, Qt::Key_Control);
             QTest::keyRelease(field, Qt::Key_Control);
         },
         1},
        {"Ctrl with a letter",
         [&] {
             QTest::keyPress(field, Qt::Key_Control);
             QTest::keyClick(field, Qt::Key_C, Qt::ControlModifier);
             QTest::keyRelease(field, Qt::Key_Control);
         },
         0},
        {"Ctrl held with Shift",
         [&] {
             QTest::keyPress(field, Qt::Key_Shift);
             QTest::keyPress(field, Qt::Key_Control, Qt::ShiftModifier);
             QTest::keyRelease(field, Qt::Key_Control, Qt::ShiftModifier);
             QTest::keyRelease(field, Qt::Key_Shift);
         },
         0},
        {"Shift alone", [&] { QTest::keyClick(field, Qt::Key_Shift); }, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        runs["silence"] = 0;
        row.keys();
        EXPECT_EQ(runs["silence"], row.runs);
    }
}
