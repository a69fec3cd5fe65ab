// The options dialog, reached from the real main window.
#include "options.h"

#include "options_dialog.h"
#include "settings_test_support.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

using namespace orvane::mailer;

namespace {

class OptionsTest : public SettingsWindowTest {
  protected:
    // Stores the options (the news flag "on" or "off", the news site, the
    // signature, the recording time) and starts the window on one account.
    void startWith(const QStringList& s) {
        home.store().setNewsSelected(s[0] == "on");
        home.store().setNewsSite(s[1]);
        home.store().setSignature(s[2]);
        home.store().setVoiceSeconds(s[3].toInt());
        start(1, {1});
    }
    QStringList stored() {
        MailStore& s = home.store();
        return {s.news().sel ? "on" : "off", s.news().site, s.signature().signature,
                QString::number(s.voice().sec)};
    }
    OptionsDialog* shown() const { return openWindowOf<OptionsDialog>(); }
    OptionsDialog& open() {
        home.window->menuAction("t_option")->trigger();
        OptionsDialog* d = shown();
        EXPECT_FALSE(d->isModal());
        EXPECT_TRUE(QTest::qWaitFor([d] { return d->signature1->hasFocus(); }, 2000));
        return *d;
    }
    void ctrlTab() {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    }
};

const QString kRefusal = "録音時間は1から3600までの秒数で入力してください";

}  // namespace

TEST(RecordingSeconds, WholeSecondsFromOneToAnHourAreTaken) {
    struct Row {
        const char* typed;
        int seconds;  // 0: refused
    } rows[] = {{"1", 1},   {"3600", 3600}, {" 45 ", 45}, {"１２０", 120},   {"", 0},
                {"   ", 0}, {"0", 0},       {"3601", 0},  {"-5", 0},         {"12.5", 0},
                {"1e2", 0}, {"三十", 0},    {"30秒", 0},  {"99999999999", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const orvane::Expected<int> parsed = parseRecordingSeconds(QString::fromUtf8(row.typed));
        if (row.seconds == 0) {
            ASSERT_FALSE(parsed.ok());
            EXPECT_EQ(parsed.failure().kind, orvane::FailureKind::BadInput);
            EXPECT_EQ(parsed.failure().reason, kRefusal);
        } else {
            ASSERT_TRUE(parsed.ok());
            EXPECT_EQ(*parsed, row.seconds);
        }
    }
}

TEST_F(OptionsTest, TheDialogShowsWhatIsStoredAndCancelOrEscChangesNothing) {
    struct Row {
        const char* name;
        std::function<void(OptionsDialog&)> close;
    } rows[] = {
        {"ｷｬﾝｾﾙ", [](OptionsDialog& d) { press(d.cmdCancel); }},
        {"Esc", [](OptionsDialog& d) { QTest::keyClick(d.rec_sec, Qt::Key_Escape); }},
    };
    const QStringList before = {"on", "https://news.example.jp/top", "山田'太郎\n二行目", "45"};
    startWith(before);
    EXPECT_EQ(state().signature, before[2]);
    EXPECT_EQ(state().recording_seconds, 45);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qsizetype mark = home.spoken().size();
        OptionsDialog& d = open();
        EXPECT_EQ(home.spokenSince(mark), (QStringList{"オプション", "署名"}));
        // A fresh dialog on its first page shows the store, not what was cancelled.
        EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
        EXPECT_TRUE(d.newsCheck1->isChecked());
        EXPECT_EQ(d.newsSite1->text(), before[1]);
        EXPECT_EQ(d.fraSample2->title(), "news.example.jp");
        EXPECT_EQ(d.signature1->toPlainText(), before[2]);
        EXPECT_EQ(d.rec_sec->text(), "45");
        EXPECT_EQ(unnamedControls(d), QStringList{});

        typeText(d.signature1, "追加の行");
        QTest::keyClick(d.newsCheck1, Qt::Key_Space);
        d.newsSite1->clear();
        typeText(d.newsSite1, "other.example.jp");
        d.rec_sec->clear();
        typeText(d.rec_sec, "99");
        row.close(d);
        EXPECT_EQ(shown(), nullptr);
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(state().signature, before[2]);
        EXPECT_EQ(state().recording_seconds, 45);
        EXPECT_EQ(home.spoken().last(), "キャンセルしました。オプションは変えていません");
    }
}

TEST_F(OptionsTest, CtrlTabGoesToTheNextTabAndFromTheLastToTheFirst) {
    start(1, {1});
    OptionsDialog& d = open();
    const qsizetype mark = home.spoken().size();
    const std::pair<int, QWidget*> steps[] = {{1, d.newsCheck1}, {2, d.rec_sec}, {0, d.signature1}};
    for (const auto& [tab, first] : steps) {
        ctrlTab();
        EXPECT_EQ(d.tbsOptions->currentIndex(), tab);
        EXPECT_TRUE(first->hasFocus()) << tab;
    }
    EXPECT_EQ(home.spokenSince(mark),
              (QStringList{"最新ニュース", "起動時に最新を読む　チェックなし", "音声録音",
                           "録音時間　秒", "署名", "署名"}));
    EXPECT_EQ(d.signature1->toPlainText(), "") << "no tab character typed";

    // Away from the pages the focus stays where it is.
    ASSERT_TRUE(focusOn(d.cmdOK));
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.cmdOK->hasFocus());
    // The menu item on a dialog already open keeps its page and focus.
    home.window->menuAction("t_option")->trigger();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.cmdOK->hasFocus());
}

TEST_F(OptionsTest, OkRefusesABadRecordingTimeThenStoresAllAndUpdatesMemoryAtOnce) {
    const QStringList before = {"off", "", "", "30"};
    startWith(before);
    state().voice_file_base = "orvane-user-20240101";  // a recording still to be sent
    OptionsDialog& d = open();
    typeText(d.signature1, "よろしく'お願いします");
    QTest::keyClick(d.signature1, Qt::Key_Return);
    typeText(d.signature1, "-- yamada");
    ctrlTab();
    qsizetype mark = home.spoken().size();
    QTest::keyClick(d.newsCheck1, Qt::Key_Space);
    EXPECT_EQ(home.spokenSince(mark), QStringList{"チェックあり"});
    QTest::keyClick(d.newsCheck1, Qt::Key_Tab);
    typeText(d.newsSite1, "news.example.jp/today");
    EXPECT_EQ(d.fraSample2->title(), "news.example.jp");
    ctrlTab();
    d.rec_sec->clear();
    typeText(d.rec_sec, "3601");
    ctrlTab();

    // Refused from the first page: the dialog stays open on the time.
    mark = home.spoken().size();
    press(d.cmdOK);
    EXPECT_EQ(shown(), &d);
    EXPECT_EQ(d.rec_message->text(), kRefusal);
    EXPECT_EQ(home.spokenSince(mark), (QStringList{"OK", kRefusal, "音声録音", "録音時間　秒"}));
    EXPECT_EQ(d.tbsOptions->currentIndex(), 2);
    EXPECT_TRUE(d.rec_sec->hasFocus());
    EXPECT_EQ(stored(), before) << "nothing is written, not even the signature";
    EXPECT_EQ(state().signature, "");

    d.rec_sec->clear();
    typeText(d.rec_sec, "90");
    QTest::keyClick(d.rec_sec, Qt::Key_Return);  // OK is the default button
    EXPECT_EQ(shown(), nullptr);
    const QStringList after = {"on", "news.example.jp/today", "よろしく'お願いします\n-- yamada",
                               "90"};
    EXPECT_EQ(stored(), after);
    EXPECT_EQ(state().signature, after[2]);
    EXPECT_EQ(state().recording_seconds, 90);
    EXPECT_EQ(home.spoken().last(), "オプションを保存しました");

    // Opening the dialog again does not take back the recording's file name.
    open().reject();
    EXPECT_EQ(state().voice_file_base, "orvane-user-20240101");
}
