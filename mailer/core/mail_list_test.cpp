#include "mail_list.h"
#include "mail_list_model.h"

#include "announcer.h"
#include "window_test_support.h"

#include <QAction>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <set>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(9, 0));

// Three mails, newest first: with an attachment (unread), read, unread.
void addThreeMails(MailStore& store) {
    store.insertReceivedMail({kMorning, "1.eml", "古い <old@example.jp>", "一通目", "本文", ""});
    const int read = store.insertReceivedMail(
        {kMorning.addSecs(60), "2.eml", "中 <mid@example.jp>", "二通目", "本文", ""});
    store.markRead(read);
    store.insertReceivedMail({kMorning.addSecs(120), "3.eml", "新しい <new@example.jp>", "三通目",
                              "本文", "/mail/声.mp3"});
}

}  // namespace

TEST(MailListModel, HeaderRowThenMailsNewestFirstWithBoldAndMark) {
    MailerHome home;
    addThreeMails(home.store());
    QLabel status, guide;
    Announcer announcer(&status, &guide);
    MailListModel model(home.store(), announcer);
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.showFolder(kReceivedFolder), 3);
    ASSERT_EQ(model.rowCount(), 4);
    ASSERT_EQ(model.columnCount(), 4);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(model.index(0, c).data().toString(),
                  (QStringList{"ID", "送信者", "件名", "受信日"}[c]));
    }
    EXPECT_EQ(model.index(1, 2).data().toString(), "♪　三通目");
    EXPECT_EQ(model.index(2, 2).data().toString(), "二通目");
    EXPECT_EQ(model.index(3, 1).data().toString(), "古い <old@example.jp>");
    EXPECT_EQ(model.index(1, 3).data().toString(), "2026/03/01 09:02:00");
    const bool bold[] = {true, false, true};
    for (int row = 1; row <= 3; ++row) {
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE(row * 10 + c);
            EXPECT_EQ(model.index(row, c).data(MailListModel::kUnreadRole).toBool(), bold[row - 1]);
            EXPECT_EQ(model.index(row, c).data(Qt::FontRole).value<QFont>().bold(), bold[row - 1]);
        }
    }
    EXPECT_EQ(model.index(1, 0).data().toInt(), model.index(1, 3).data(MailListModel::kMailIdRole));
    EXPECT_EQ(model.showFolder("保存フォルダー"), 0);
    EXPECT_EQ(model.rowCount(), 1);
}

TEST(MailListModel, PagesFollowOneAnotherWithoutGapsOrRepeats) {
    MailerHome home;
    MailStore& store = home.store();
    // Many mails share a receipt time (one receive): the id orders them.
    const int kMails = 2 * MailListModel::kPageSize + 50;
    std::vector<NewMailRow> rows;
    for (int i = 0; i < kMails; ++i) {
        rows.push_back({kMorning.addSecs(i / 100), "f", "s", QString::number(i), "", ""});
    }
    store.insertReceivedMails(rows);
    QLabel status, guide;
    Announcer announcer(&status, &guide);
    MailListModel model(store, announcer);
    EXPECT_EQ(model.showFolder(kReceivedFolder), kMails);
    EXPECT_EQ(model.rowCount(), 1 + MailListModel::kPageSize);
    while (model.canFetchMore({})) {
        model.fetchMore({});
    }
    ASSERT_EQ(model.rowCount(), 1 + kMails);
    std::set<int> seen;
    for (int row = 1; row <= kMails; ++row) {
        // Newest first: subjects count down from the last inserted.
        ASSERT_EQ(model.mailAt(row)->subject, QString::number(kMails - row)) << row;
        seen.insert(model.mailAt(row)->id);
    }
    EXPECT_EQ(seen.size(), std::size_t(kMails));
}

TEST(MailList, StartUpListsTheFolderSaysTheCountAndReadsTheUnreadSubjects) {
    MailerHome home;
    addThreeMails(home.store());
    home.start();
    const QStringList said = home.spoken();
    ASSERT_GE(said.size(), 4);
    EXPECT_EQ(said.mid(said.size() - 3), (QStringList{"メール数は3", "♪　三通目", "一通目"}));
    QTableView* grid = home.grid();
    EXPECT_EQ(grid->model()->rowCount(), 4);
    EXPECT_EQ(grid->currentIndex(), grid->model()->index(0, 1));
    EXPECT_FALSE(grid->horizontalHeader()->isVisible());
    const qreal dpi = grid->logicalDpiX();
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(grid->columnWidth(c), qRound(MailList::kColumnTwips[c] * dpi / 1440.0));
    }
    EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), kReceivedFolder);
}

TEST(MailList, EmptyFolderSaysSoAndTheReadingsLeaveTheCursor) {
    MailerHome home;
    MainWindow& w = home.start();
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2),
              (QStringList{"新着メールは有りません", "未読メールは有りません"}));
    EXPECT_EQ(home.grid()->model()->rowCount(), 1);
    home.grid()->setFocus();
    const qsizetype mark = home.spoken().size();
    QTest::keyClick(home.grid(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_TRUE(home.spokenSince(mark).isEmpty());
    QTest::keyClick(home.grid(), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(home.spokenSince(mark), QStringList{"未読メールは有りません"});
    EXPECT_EQ(home.grid()->currentIndex(), home.grid()->model()->index(0, 1));
    EXPECT_EQ(w.mailList().mail_count(), 0);
}

TEST(MailList, SubjectReadingsSpeakInListOrderAndPutTheCursorOnTheFirstMail) {
    struct Row {
        const char* name;
        std::function<void(QWidget*)> keys;
        QStringList spoken;
    };
    const Row rows[] = {
        {"Ctrl+P reads every subject",
         [](QWidget* grid) { QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier); },
         {"♪　三通目", "二通目", "一通目"}},
        {"the menu item reads every subject",
         [](QWidget* grid) { grid->window()->findChild<QAction*>("read_subject")->trigger(); },
         {"♪　三通目", "二通目", "一通目"}},
        {"Ctrl+U reads the unread ones",
         [](QWidget* grid) { QTest::keyClick(grid, Qt::Key_U, Qt::ControlModifier); },
         {"♪　三通目", "一通目"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailerHome home;
        addThreeMails(home.store());
        home.start();
        home.grid()->setFocus();
        const qsizetype mark = home.spoken().size();
        row.keys(home.grid());
        EXPECT_EQ(home.spokenSince(mark), row.spoken);
        EXPECT_EQ(home.grid()->currentIndex(), home.grid()->model()->index(1, 1));
    }
}

TEST(MailList, AllReadFolderSaysOnlyThatNoMailIsUnread) {
    MailerHome home;
    addThreeMails(home.store());
    for (const MailListRow& mail : home.store().mailsInFolder(kReceivedFolder)) {
        home.store().markRead(mail.id);
    }
    home.start();
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2),
              (QStringList{"メール数は3", "未読メールは有りません"}));
    EXPECT_EQ(home.grid()->currentIndex(), home.grid()->model()->index(0, 1));
}

TEST(MailList, ArrowsReadTheNewRowAndTheChoiceIsKept) {
    MailerHome home;
    addThreeMails(home.store());
    MainWindow& w = home.start();
    QTableView* grid = home.grid();
    grid->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000));
    struct Step {
        Qt::Key key;
        QStringList spoken;
    };
    const Step steps[] = {
        {Qt::Key_Down, {"♪　三通目", "新しい"}},
        {Qt::Key_Right, {}},  // the same row: nothing new to say
        {Qt::Key_Down, {"二通目", "中"}},
        {Qt::Key_Up, {"♪　三通目", "新しい"}},
        {Qt::Key_Up, {"ヘッダー行"}},
        {Qt::Key_Up, {}},  // already on the first row
    };
    for (const Step& step : steps) {
        const qsizetype mark = home.spoken().size();
        QTest::keyClick(grid, step.key);
        EXPECT_EQ(home.spokenSince(mark), step.spoken) << grid->currentIndex().row();
    }

    w.menuAction("arrow_reading")->trigger();
    EXPECT_FALSE(w.menuAction("arrow_reading")->isChecked());
    EXPECT_EQ(home.spoken().last(), "矢印で件名を読みません");
    qsizetype mark = home.spoken().size();
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_TRUE(home.spokenSince(mark).isEmpty());

    // The next start remembers the choice.
    home.window.reset();
    MainWindow& again = home.start();
    EXPECT_FALSE(again.menuAction("arrow_reading")->isChecked());
    home.grid()->setFocus();
    mark = home.spoken().size();
    QTest::keyClick(home.grid(), Qt::Key_Down);
    EXPECT_TRUE(home.spokenSince(mark).isEmpty());
}

TEST(MailList, EveryMailOfALargeFolderCanBeReachedFromTheKeyboard) {
    MailerHome home;
    const int kMails = 3 * MailListModel::kPageSize + 7;
    std::vector<NewMailRow> rows;
    for (int i = 0; i < kMails; ++i) {
        rows.push_back({kMorning.addSecs(i), "f", "s", QString("件名%1").arg(i), "", ""});
    }
    home.store().insertReceivedMails(rows);
    MainWindow& w = home.start();
    EXPECT_TRUE(home.spoken().contains(QString("メール数は%1").arg(kMails)));
    EXPECT_EQ(w.mailList().mail_count(), kMails);
    QTableView* grid = home.grid();
    grid->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000));
    for (int presses = 0; presses < 10 * kMails && grid->currentIndex().row() < kMails; ++presses) {
        QTest::keyClick(grid, Qt::Key_PageDown);
    }
    EXPECT_EQ(grid->currentIndex().row(), kMails);
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2), (QStringList{"件名0", "s"}));
}

TEST(MailList, TheSenderIsHeardByName) {
    const std::pair<const char*, const char*> rows[] = {
        {"山田 太郎 <yamada@example.jp>", "山田 太郎"},
        {"\"Yamada, Taro\" <taro@example.jp>", "Yamada, Taro"},
        {"taro@example.jp", "taro@example.jp"},
        {"<taro@example.jp>", "taro@example.jp"},
        {"\"\" <taro@example.jp>", "taro@example.jp"},
        {"壊れた <taro@example.jp", "壊れた <taro@example.jp"},
        {"", ""},
    };
    for (const auto& [from, heard] : rows) {
        EXPECT_EQ(MailList::senderName(from), heard) << from;
    }
}
