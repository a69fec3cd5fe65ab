// What is said, shown and run: the spoken text, the command table's keys and
// failures, and the status line while another program runs.
#include "agent.h"
#include "announcer.h"
#include "command_table.h"
#include "mail_store.h"
#include "shell_wait.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

// A window with a field and a list (a place), a command table on it, and
// every run of a handler counted by name; the announcer speaks into a transcript.
class SpokenWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
        auto* central = new QWidget(&window);
        auto* layout = new QVBoxLayout(central);
        layout->addWidget(field = new QLineEdit(central));
        layout->addWidget(list = new QListWidget(central));
        list->addItems({"a", "b"});
        window.setCentralWidget(central);
    }

    // A command on a key alone (no menu item) counting its runs.
    Command command(const QString& name, QKeySequence key = {}, Place place = Place::Window) {
        return {name, "", key, "", place, {}, [this, name] { ++runs[name]; }, {}};
    }
    void install(std::vector<Command> commands) {
        table = std::make_unique<CommandTable>(announcer, std::vector<MenuDefinition>{},
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
    ShellWait wait{[this](const QString& left) { announcer.show_message(left); }};
};

}  // namespace

TEST_F(SpokenWindowTest, StoreFailureInAHandlerIsSpokenAndTheProgramGoesOn) {
    Command write = command("write");
    write.handler = [] {
        throw StoreError("メールストアが読み取り専用のため、書き込めませんでした");
    };
    install({write, command("next")});
    EXPECT_FALSE(table->run("write"));
    EXPECT_EQ(spoken(),
              QStringList{"エラー：メールストアが読み取り専用のため、書き込めませんでした"});
    EXPECT_TRUE(table->run("next"));
    EXPECT_EQ(runs["next"], 1);
}

TEST_F(SpokenWindowTest, KeysRunTheCommandOfTheirPlaceAndCtrlAloneOnlyWhenNothingElseIsPressed) {
    install({command("window_key", QKeySequence("Ctrl+A")),
             command("list_enter", QKeySequence(Qt::Key_Return), Place::FolderList),
             command("silence", QKeySequence(Qt::Key_Control))});
    field->setText("abc");
    const auto down = QTest::Press, up = QTest::Release, click = QTest::Click;
    const Qt::Key ctrlKey = Qt::Key_Control, shiftKey = Qt::Key_Shift;
    const Qt::KeyboardModifiers no, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier;
    struct Row {
        const char* name;
        QWidget* target;
        std::vector<std::tuple<QTest::KeyAction, Qt::Key, Qt::KeyboardModifiers>> keys;
        QString runs;  // the command that ran, if any
    };
    const Row rows[] = {
        {"Ctrl+A in a field is the window's", field, {{click, Qt::Key_A, ctrl}}, "window_key"},
        {"ENTER in a field", field, {{click, Qt::Key_Return, no}}, {}},
        {"ENTER in the list", list, {{click, Qt::Key_Return, no}}, "list_enter"},
        {"Ctrl alone", field, {{down, ctrlKey, no}, {up, ctrlKey, no}}, "silence"},
        {"Ctrl with a letter",
         field,
         {{down, ctrlKey, no}, {click, Qt::Key_C, ctrl}, {up, ctrlKey, no}},
         {}},
        {"Ctrl with Shift",
         field,
         {{down, shiftKey, no}, {down, ctrlKey, shift}, {up, ctrlKey, shift}, {up, shiftKey, no}},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.target->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return row.target->hasFocus(); }, 2000));
        runs.clear();
        for (const auto& [action, key, modifiers] : row.keys) {
            QTest::keyEvent(action, row.target, key, modifiers);
        }
        EXPECT_EQ(runs, (row.runs.isEmpty() ? std::map<QString, int>{}
                                            : std::map<QString, int>{{row.runs, 1}}));
    }
    EXPECT_FALSE(field->hasSelectedText());  // Ctrl+A did not select all
}

TEST_F(SpokenWindowTest, SpeakBlanksDashAndEqualsButLeavesCallersText) {
    const QString text = "Re: a-b=c";
    announcer.speak(text);
    announcer.speak("");
    EXPECT_EQ(text, "Re: a-b=c");
    EXPECT_EQ(spoken(), QStringList{"Re: a b c"});
}

// A program that ends at once leaves the status line as it was; while one runs
// the seconds left count down there and keys typed meanwhile come after it.
TEST_F(SpokenWindowTest, CountdownTicksWhileAProgramRunsAndKeysTypedMeanwhileComeAfter) {
    announcer.show_message("録音");
    EXPECT_TRUE(wait.shell_and_wait("true", 0, 30, dir.path()).ok());
    EXPECT_FALSE(wait.timer().isActive());
    EXPECT_EQ(status.text(), "録音");

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    field->setFocus();
    QTimer::singleShot(200, [&] { QTest::keyClicks(field, "abc"); });
    QStringList ticks;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (ticks.isEmpty() || ticks.last() != status.text()) {
            ticks << status.text();
        }
    });
    probe.start(50);
    EXPECT_TRUE(wait.shell_and_wait("sleep 2.5", 0, 30, dir.path()).ok());
    probe.stop();
    EXPECT_EQ(field->text(), "");  // held back until now
    EXPECT_TRUE(QTest::qWaitFor([&] { return field->text() == "abc"; }, 2000));
    EXPECT_TRUE(ticks.contains("29"));
    EXPECT_TRUE(ticks.contains("28"));
    EXPECT_FALSE(wait.timer().isActive());
}
