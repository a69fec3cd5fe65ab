// The mail list on the real window: what it lists and reads on its keys,
// and how its speech is cut off.
#include "mail_list.h"
#include "mail_list_model.h"

#include "audio_sink.h"
#include "fake_engine.h"
#include "text_normalizer.h"
#include "window_test_support.h"

#include <QFont>
#include <QLabel>
#include <QTableView>
#include <QTest>

#include <mutex>
#include <thread>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

const QDateTime kMorning(QDate(2026, 3, 1), QTime(9, 0));
const QStringList kAllSubjects = {"♪　三通目", "二通目", "一通目"};

// Three mails, newest first: with an attachment (unread), read, unread.
void addThreeMails(MailStore& store) {
    store.insertReceivedMail({kMorning, "1.eml", "古い <old@example.jp>", "一通目", "本文", ""});
    store.markRead(store.insertReceivedMail(
        {kMorning.addSecs(60), "2.eml", "中 <mid@example.jp>", "二通目", "本文", ""}));
    store.insertReceivedMail({kMorning.addSecs(120), "3.eml", "新しい <new@example.jp>", "三通目",
                              "本文", "/mail/声.mp3"});
}

// Plays a sample every 20 ms, so that a text takes a while; notes each text
// played to its end.
class SlowSink final : public speech::AudioSink {
  public:
    Expected<void> play(const speech::Audio& audio, const std::atomic<bool>& stop) override {
        for (std::size_t i = 0; i < audio.samples.size() && !stop; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!stop) {
            std::lock_guard lock(mutex_);
            whole_ << speech::TextAsAudioEngine::decode(audio);
        }
        return success();
    }
    QStringList playedWhole() const {
        std::lock_guard lock(mutex_);
        return whole_;
    }

  private:
    mutable std::mutex mutex_;
    QStringList whole_;
};

}  // namespace

// Start-up reads the unread subjects as Ctrl+U does, and leaves the header row
// current (none unread is heard at the end of the ENTER and missing-file tests).
TEST(MailList, SubjectReadingsSpeakInListOrderAndPutTheCursorOnTheFirstMail) {
    const auto ctrl = [](Qt::Key key) {
        return [key](QWidget* grid) { QTest::keyClick(grid, key, Qt::ControlModifier); };
    };
    const QStringList unread = {"♪　三通目", "一通目"};
    struct Row {
        const char* name;
        bool mails;
        std::function<void(QWidget*)> keys;  // none: start-up
        QStringList spoken;
        int cursorRow;
    };
    const Row rows[] = {
        {"start-up", true, {}, QStringList{"メール数は3"} + unread, 0},
        {"Ctrl+P reads every subject", true, ctrl(Qt::Key_P), kAllSubjects, 1},
        {"Ctrl+U reads the unread ones", true, ctrl(Qt::Key_U), unread, 1},
        {"Ctrl+P on an empty folder says nothing", false, ctrl(Qt::Key_P), {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailerHome home;
        if (row.mails) {
            addThreeMails(home.store());
        }
        QStringList said = home.saidDuring([&] { home.start(); });
        said = said.mid(said.size() - row.spoken.size());  // start-up ends so
        if (row.keys) {
            ASSERT_TRUE(home.focus(home.grid()));
            said = home.saidDuring([&] { row.keys(home.grid()); });
        }
        EXPECT_EQ(said, row.spoken);
        EXPECT_EQ(home.grid()->currentIndex(), home.grid()->model()->index(row.cursorRow, 1));
    }
}

// The speech is played slowly, so that an arrow's reading is still under way
// when the next arrow comes.
TEST(MailList, ListsNewestFirstUnreadInBoldAndArrowsReadTheNewRowCuttingTheLastOffWhileChosen) {
    MailerHome home;
    addThreeMails(home.store());
    const auto sink = std::make_shared<SlowSink>();
    speech::Agent::Options options = home.agentOptions();
    options.engineFactory = [] { return std::make_unique<speech::TextAsAudioEngine>(); };
    options.sink = sink;
    options.synthesisCacheBytes = 0;
    home.agent = std::make_unique<speech::Agent>(options);
    MainWindow& w = home.start(home.agent.get());
    EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), kReceivedFolder);
    QAbstractItemModel* list = home.grid()->model();
    ASSERT_EQ(list->rowCount(), 4);
    EXPECT_EQ(list->index(1, 1).data().toString(), "新しい <new@example.jp>");
    EXPECT_EQ(list->index(1, 3).data().toString(), "2026/03/01 09:02:00");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(list->index(row, 2).data().toString(), kAllSubjects[row - 1]);
        for (int c = 0; c < 4; ++c) {
            SCOPED_TRACE(row * 10 + c);
            const bool unread = row != 2;
            EXPECT_EQ(list->index(row, c).data(Qt::FontRole).value<QFont>().bold(), unread);
            EXPECT_EQ(list->index(row, c).data(MailListModel::kUnreadRole).toBool(), unread);
        }
    }

    ASSERT_TRUE(home.focus(home.grid()));
    const std::pair<Qt::Key, QStringList> steps[] = {
        {Qt::Key_Down, {"♪　三通目", "新しい"}},
        {Qt::Key_Right, {}},  // the same row: nothing new to say
        {Qt::Key_Down, {"二通目", "中"}},
        {Qt::Key_Up, {"♪　三通目", "新しい"}},
        {Qt::Key_Up, {"ヘッダー行"}},
        {Qt::Key_Up, {}},  // already on the first row
    };
    for (const auto& [key, spoken] : steps) {
        EXPECT_EQ(home.saidDuring([&] { QTest::keyClick(home.grid(), key); }), spoken)
            << home.grid()->currentIndex().row();
    }
    // A fast run of arrows cuts each reading off: only the last row is heard whole.
    ASSERT_TRUE(home.agent->waitUntilIdle(30000));
    const qsizetype heard = sink->playedWhole().size();
    for (int i = 0; i < 3; ++i) {
        QTest::keyClick(home.grid(), Qt::Key_Down);
    }
    ASSERT_TRUE(home.agent->waitUntilIdle(30000));
    EXPECT_EQ(sink->playedWhole().mid(heard), (QStringList{speech::normalizeForSpeech("一通目"),
                                                           speech::normalizeForSpeech("古い")}));

    w.menuAction("arrow_reading")->trigger();
    EXPECT_EQ(home.spoken().last(), "矢印で件名を読みません");
    for (const bool restarted : {false, true}) {  // the choice is kept for the next start
        SCOPED_TRACE(restarted);
        if (restarted) {
            home.window.reset();
            home.start();
        }
        EXPECT_FALSE(home.window->menuAction("arrow_reading")->isChecked());
        ASSERT_TRUE(home.focus(home.grid()));
        EXPECT_EQ(home.saidDuring([&] { QTest::keyClick(home.grid(), Qt::Key_Down); }),
                  QStringList{});
    }
}

// The smallest folder that needs a second page.
TEST(MailList, EveryMailOfALargeFolderIsListedOnceInOrderAndReachedFromTheKeyboard) {
    MailerHome home;
    // Many mails share a receipt time (one receive): the id orders them.
    const int kMails = MailListModel::kPageSize + 1;
    std::vector<NewMailRow> rows;
    for (int i = 0; i < kMails; ++i) {
        rows.push_back({kMorning.addSecs(i / 100), "f", "s", QString("件名%1").arg(i), "", ""});
    }
    home.store().insertReceivedMails(rows);
    MainWindow& w = home.start();
    EXPECT_TRUE(home.spoken().contains(QString("メール数は%1").arg(kMails)));
    EXPECT_EQ(w.mailList().mail_count(), kMails);
    QTableView* grid = home.grid();
    ASSERT_TRUE(home.focus(grid));
    for (int presses = 0; presses < 10 * kMails && grid->currentIndex().row() < kMails; ++presses) {
        QTest::keyClick(grid, Qt::Key_PageDown);
    }
    EXPECT_EQ(grid->currentIndex().row(), kMails);
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2), (QStringList{"件名0", "s"}));
    ASSERT_EQ(grid->model()->rowCount(), 1 + kMails);
    for (int row = 1; row <= kMails; ++row) {
        // Newest first: subjects count down from the last inserted.
        ASSERT_EQ(grid->model()->index(row, 2).data().toString(),
                  QString("件名%1").arg(kMails - row))
            << row;
    }
}

TEST(MailList, TheSenderIsHeardByName) {
    const std::pair<const char*, const char*> rows[] = {
        {" \"Yamada, Taro\" <taro@example.jp> ", "Yamada, Taro"},
        {"taro@example.jp", "taro@example.jp"},
        {"\"\" < taro@example.jp>", "taro@example.jp"},
        {"壊れた <taro@example.jp", "壊れた <taro@example.jp"},
    };
    for (const auto& [from, heard] : rows) {
        EXPECT_EQ(MailList::senderName(from), heard) << from;
    }
}
