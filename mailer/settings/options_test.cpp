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

const QString kRefusal = "録音時間は1から3600までの秒数で入力してください";

// The news flag ("on" or "off"), the news site, the signature and the
// recording time.
QStringList shownIn(const OptionsDialog& d) {
    return {d.newsCheck1->isChecked() ? "on" : "off", d.newsSite1->text(),
            d.signature1->toPlainText(), d.rec_sec->text()};
}

class OptionsTest : public SettingsWindowTest {
  protected:
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
    void retype(QWidget* field, const QString& text) {
        QMetaObject::invokeMethod(field, "clear");
        typeText(field, text);
    }
};

}  // namespace

TEST(RecordingSeconds, WholeSecondsFromOneToAnHourAreTaken) {
    struct Row {
        const char* typed;
        int seconds;  // 0: refused
    } rows[] = {{"3600", 3600}, {" 45 ", 45}, {"１２０", 120}, {"   ", 0},  {"0", 0},
                {"-5", 0},      {"12.5", 0},  {"三十", 0},     {"30秒", 0}, {"99999999999", 0}};
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

TEST_F(OptionsTest, CancelOrEscChangesNothingOkRefusesABadTimeThenStoresAllAndUpdatesMemory) {
    const QStringList before = {"on", "https://news.example.jp/top", "山田'太郎\n二行目", "45"};
    home.store().setSignature(before[2]);
    home.store().setVoiceSeconds(45);
    start(1, {1});
    // The news is stored after start-up, which would read it.
    home.store().setNewsSelected(true);
    home.store().setNewsSite(before[1]);
    EXPECT_EQ(state().signature, before[2]);
    EXPECT_EQ(state().recording_seconds, 45);
    state().voice_file_base = "orvane-user-20240101";  // a recording still to be sent

    {
        const qsizetype mark = home.spoken().size();
        OptionsDialog& d = open();
        EXPECT_EQ(home.spokenSince(mark), (QStringList{"オプション", "署名"}));
        EXPECT_EQ(shownIn(d), before);
        EXPECT_EQ(d.fraSample2->title(), "news.example.jp");
        EXPECT_EQ(unnamedControls(d), QStringList{});
        typeText(d.signature1, "追加の行");
        QTest::keyClick(d.newsCheck1, Qt::Key_Space);
        retype(d.newsSite1, "other.example.jp");
        retype(d.rec_sec, "99");
        ctrlTab();
        press(d.cmdCancel);
        EXPECT_EQ(shown(), nullptr);
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(state().signature, before[2]);
        EXPECT_EQ(state().recording_seconds, 45);
        EXPECT_EQ(lastSpoken(), "キャンセルしました。オプションは変えていません");
    }

    // A fresh dialog on its first page shows the store, not what was
    // cancelled. Ctrl+Tab goes from page to page, saying where the focus
    // lands; no tab character reaches the signature.
    OptionsDialog& d = open();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
    EXPECT_EQ(shownIn(d), before);
    retype(d.signature1, "よろしく'お願いします");
    QTest::keyClick(d.signature1, Qt::Key_Return);
    typeText(d.signature1, "-- yamada");
    qsizetype mark = home.spoken().size();
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    ASSERT_TRUE(d.newsCheck1->hasFocus());
    QTest::keyClick(d.newsCheck1, Qt::Key_Space);
    QTest::keyClick(d.newsCheck1, Qt::Key_Tab);
    retype(d.newsSite1, "news.example.com/today");
    EXPECT_EQ(d.fraSample2->title(), "news.example.com");
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 2);
    ASSERT_TRUE(d.rec_sec->hasFocus());
    retype(d.rec_sec, "3601");
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
    EXPECT_TRUE(d.signature1->hasFocus());
    EXPECT_EQ(home.spokenSince(mark),
              (QStringList{"最新ニュース", "起動時に最新を読む　チェックあり", "チェックなし",
                           "ニュースのサイト", "音声録音", "録音時間　秒", "署名", "署名"}));

    // Away from the pages the focus stays where it is; the menu item on the
    // open dialog keeps its page and focus.
    ASSERT_TRUE(focusOn(d.cmdOK));
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.cmdOK->hasFocus());
    home.window->menuAction("t_option")->trigger();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.cmdOK->hasFocus());

    // Refused: the dialog stays open on the time and nothing is written.
    mark = home.spoken().size();
    QTest::keyClick(d.cmdOK, Qt::Key_Space);
    EXPECT_EQ(shown(), &d);
    EXPECT_EQ(d.rec_message->text(), kRefusal);
    EXPECT_EQ(home.spokenSince(mark), (QStringList{kRefusal, "音声録音", "録音時間　秒"}));
    EXPECT_EQ(d.tbsOptions->currentIndex(), 2);
    EXPECT_TRUE(d.rec_sec->hasFocus());
    EXPECT_EQ(stored(), before) << "nothing is written, not even the signature";
    EXPECT_EQ(state().signature, before[2]);

    retype(d.rec_sec, "90");
    QTest::keyClick(d.rec_sec, Qt::Key_Return);  // OK is the default button
    EXPECT_EQ(shown(), nullptr);
    const QStringList after = {"off", "news.example.com/today", "よろしく'お願いします\n-- yamada",
                               "90"};
    EXPECT_EQ(stored(), after);
    EXPECT_EQ(state().signature, after[2]);
    EXPECT_EQ(state().recording_seconds, 90);
    EXPECT_EQ(lastSpoken(), "オプションを保存しました");
    // Opening the dialog again does not take back the recording's file name.
    open().reject();
    EXPECT_EQ(state().voice_file_base, "orvane-user-20240101");
}
