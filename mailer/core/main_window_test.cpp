#include "main_window.h"
#include "focus_convention.h"
#include "help_text.h"
#include "window_test_support.h"

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

void setMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

}  // namespace

TEST(MainWindow, AFreshFolderSaysTheTimeAsksForAnAccountNamesEveryControlAndPausesOnFarewell) {
    MailerHome home;
    QStringList spokenWhenFormOpened;
    home.firstUse = [&] { spokenWhenFormOpened = home.spoken(); };
    MainWindow& w = home.start();
    EXPECT_TRUE(QFile::exists(home.storePath()));
    EXPECT_TRUE(QDir(home.mailDir()).exists());
    ASSERT_EQ(spokenWhenFormOpened.size(), 2);
    EXPECT_TRUE(QRegularExpression("^\\d\\d時\\d\\d分$").match(spokenWhenFormOpened[0]).hasMatch())
        << spokenWhenFormOpened[0].toStdString();
    EXPECT_EQ(spokenWhenFormOpened[1],
              "はじめてのご使用です　メールアカウントの設定を行ってください");
    EXPECT_EQ(home.mailFake->sleeps, QList<int>{4});
    EXPECT_TRUE(w.character()->isVisible());

    // Every control has a name for screen readers; the grid keeps a current
    // cell also when a refill clears its rows.
    QAccessible::setActive(true);
    for (QWidget* widget : w.findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_")) {
            continue;  // Qt's own parts of a control (scroll bars, viewports)
        }
        QAccessibleInterface* ui = QAccessible::queryAccessibleInterface(widget);
        ASSERT_NE(ui, nullptr) << widget->objectName().toStdString();
        EXPECT_FALSE(ui->text(QAccessible::Name).isEmpty()) << widget->objectName().toStdString();
    }
    QAccessible::setActive(false);
    w.mailList().init_mail_grid();
    EXPECT_TRUE(home.grid()->currentIndex().isValid());

    w.menuAction("fend")->trigger();
    EXPECT_EQ(home.spoken().last(), "プログラムを終了します");
    EXPECT_EQ(home.mailFake->sleeps, (QList<int>{4, 4}));
    EXPECT_EQ(home.quitStatus, 0);
}

TEST(MainWindow, F1SpeaksTheFocusedPlacesHelpThenTheGeneralHelpAndTheManualGoesToTheDesktop) {
    // help.txt has text before its first marked line: entry 0.
    MailerHome home;
    MainWindow& w = home.start();
    const HelpTexts& help = w.help_text();
    ASSERT_FALSE(help[0].isEmpty());
    ASSERT_FALSE(help[6].isEmpty());
    EXPECT_EQ(home.saidDuring([&] { w.menuAction("help_help")->trigger(); }),
              (QStringList{help[0], help[1]}));
    EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), "ヘルプ");

    // The focused place takes the focus colour and its own help.
    auto* book = home.control<QListWidget>("List2");
    ASSERT_TRUE(home.focus(book));
    EXPECT_EQ(w.input_mode(), kModeAddressBook);
    EXPECT_EQ(book->palette().color(QPalette::Base), focus_color);
    EXPECT_EQ(home.grid()->palette().color(QPalette::Base), normal_color);
    EXPECT_EQ(home.saidDuring([&] { QTest::keyClick(book, Qt::Key_F1); }),
              (QStringList{help[6], help[1]}));
    QTest::keyClick(book, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(home.grid()->hasFocus());
    EXPECT_EQ(book->palette().color(QPalette::Base), normal_color);
    EXPECT_EQ(home.grid()->palette().color(QPalette::Base), focus_color);
    EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), kReceivedFolder);

    // The manual goes to the desktop; a desktop that cannot open it is said.
    const QString manual = home.dir.filePath("はじめにお読みください.html");
    QFile::copy(test::sourceFile("mailer/resources/はじめにお読みください.html"), manual);
    w.menuAction("htmlhelp")->trigger();
    EXPECT_EQ(home.openedDocuments, QStringList{manual});
    home.openSucceeds = false;
    w.menuAction("htmlhelp")->trigger();
    EXPECT_TRUE(home.spoken().last().startsWith("エラー："));
    EXPECT_TRUE(home.control<QLabel>("cmd_message")->text().startsWith("エラー："));
    EXPECT_FALSE(home.quitStatus.has_value());
}

// One line per rule: text before the first marked line is entry 0; each
// marked line starts the next entry; a closing line does too and its next line
// is taken in its place, unless that closes as well ("</b>"), when the line
// after it is dropped; marks past the last entry, or on the last line, are harmless.
TEST(HelpText, MarkedLinesStartEntriesClosingLinesDropTheLineAfterAndExtraMarksAreHarmless) {
    const auto help = parseHelpText(
        {"前置き", "続き", "<a>", "一", "</a>", "x", "<b>", "</b>", "捨てる", "残る", "<"});
    EXPECT_EQ((QStringList{help[0], help[1], help[2], help[3], help[4]}),
              (QStringList{"前置き続き", "一", "x", "残る", ""}));
    QStringList lines;
    for (int i = 0; i < 15; ++i) {
        lines << "<" << QString::number(i);
    }
    EXPECT_EQ(parseHelpText(lines)[10], "9");
}

TEST(MainWindow, StoreAndMailFolderAreForTheUserAloneAlsoWhenFoundOpen) {
    MailerHome home;
    ASSERT_TRUE(QDir().mkpath(home.mailDir()));
    setMode(home.mailDir(), 0755);
    home.store().addAddress("名", "x@example.jp");  // WAL and SHM exist now
    const QStringList files = MailStore::storeFiles(home.storePath());
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(QFile::exists(file));
        EXPECT_EQ(modeOf(file), 0600);  // private from the start
        setMode(file, 0644);
    }
    home.start();
    EXPECT_EQ(modeOf(home.mailDir()), 0700);
    for (const QString& file : files) {
        EXPECT_EQ(modeOf(file), 0600) << file.toStdString();
    }
    // The store made private again when it is opened.
    home.window.reset();
    setMode(home.storePath(), 0644);
    EXPECT_TRUE(MailStore::open(home.storePath()).ok());
    EXPECT_EQ(modeOf(home.storePath()), 0600);
}

TEST(MainWindow, AMissingShippedFileIsNamedAndStartUpGoesOn) {
    for (const char* missing : {"help.txt", "characters/genie.acs"}) {
        SCOPED_TRACE(missing);
        MailerHome home;
        QFile::remove(home.dir.filePath(missing));  // nor is it beside the test
        MainWindow& w = home.start();
        ASSERT_NE(w.character(), nullptr);
        const QStringList said = home.spoken();
        const QString name = QFileInfo(missing).fileName();
        EXPECT_TRUE(said.filter("エラー：").join('\n').contains(name))
            << said.join('/').toStdString();
        EXPECT_EQ(said.last(), "未読メールは有りません");
        w.menuAction("help_help")->trigger();  // empty or not, no crash
    }
}

TEST(MailerProgram, RefusesAStoreThatIsNotOursSaysWhyAndLeavesItAlone) {
    const QString program = QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("orvane");
    if (!QFile::exists(program)) {
        GTEST_SKIP() << "orvane is not built";
    }
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    const std::pair<const char*, QByteArray> rows[] = {
        {"access", jet},
        {"garbage", QByteArray("PK\x03\x04 not a store ", 20).repeated(100)},
        {"truncated sqlite", QByteArray("SQLite format 3\0", 16) + QByteArray(100, 'x')},
    };
    for (const auto& [name, bytes] : rows) {
        SCOPED_TRACE(name);
        QTemporaryDir home;
        QFile f(home.filePath("speak_mail.mdb"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
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
        EXPECT_TRUE(p.readAllStandardError().contains("speak_mail.mdb"));
        EXPECT_TRUE(transcriptTexts(home.filePath("t.txt")).value(0).contains("speak_mail.mdb"));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), bytes);
        EXPECT_FALSE(QFile::exists(f.fileName() + "-wal"));
    }
}
