#include "options.h"

#include "options_dialog.h"
#include "settings_test_support.h"
#include "twips.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace orvane::mailer;

namespace {

struct Stored {
    bool sel;
    QString site;
    QString signature;
    int sec;
    QString voiceFile;
};

class OptionsTest : public SettingsTest {
  protected:
    void store_(const Stored& s) {
        store->setNewsSelected(s.sel);
        store->setNewsSite(s.site);
        store->setSignature(s.signature);
        store->setVoiceSeconds(s.sec);
    }
    Stored stored() {
        return {store->news().sel, store->news().site, store->signature().signature,
                store->voice().sec, store->voice().voiceFile};
    }
    OptionsDialog& open() {
        options.t_option_Click();
        OptionsDialog* d = options.dialog();
        EXPECT_NE(d, nullptr);
        EXPECT_TRUE(QTest::qWaitFor([d] { return d->signature1->hasFocus(); }, 2000));
        return *d;
    }
    void ctrlTab(Qt::KeyboardModifiers modifiers = Qt::ControlModifier) {
        const Qt::Key key = modifiers & Qt::ShiftModifier ? Qt::Key_Backtab : Qt::Key_Tab;
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
    void pressOK(OptionsDialog& d) {
        ASSERT_TRUE(focusOn(d.cmdOK));
        QTest::keyClick(d.cmdOK, Qt::Key_Space);
    }

    Options options{*store, announcer, state, &mainWindow};
};

bool operator==(const Stored& a, const Stored& b) {
    return a.sel == b.sel && a.site == b.site && a.signature == b.signature && a.sec == b.sec &&
           a.voiceFile == b.voiceFile;
}

void PrintTo(const Stored& s, std::ostream* os) {
    *os << "{" << s.sel << ", " << s.site.toStdString() << ", " << s.signature.toStdString() << ", "
        << s.sec << ", " << s.voiceFile.toStdString() << "}";
}

TEST(RecordingSeconds, WholeSecondsFromOneToAnHourAreTaken) {
    struct Row {
        const char* typed;
        int seconds;  // 0: refused
    };
    const Row rows[] = {{"1", 1},    {"30", 30}, {"3600", 3600}, {" 45 ", 45}, {"１２０", 120},
                        {"", 0},     {"   ", 0}, {"0", 0},       {"3601", 0},  {"-5", 0},
                        {"12.5", 0}, {"1e2", 0}, {"三十", 0},    {"30秒", 0},  {"99999999999", 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const orvane::Expected<int> parsed = parseRecordingSeconds(QString::fromUtf8(row.typed));
        if (row.seconds == 0) {
            ASSERT_FALSE(parsed.ok());
            EXPECT_EQ(parsed.failure().kind, orvane::FailureKind::BadInput);
            EXPECT_EQ(parsed.failure().reason, "録音時間は1から3600までの秒数で入力してください");
        } else {
            ASSERT_TRUE(parsed.ok());
            EXPECT_EQ(*parsed, row.seconds);
        }
    }
}

TEST_F(OptionsTest, ReadingFillsMemoryAndTheDialogShowsWhatIsStored) {
    store_({true, "https://news.example.jp/top", "山田'太郎\n二行目", 45, ""});
    options.read_options();
    EXPECT_EQ(state.signature, "山田'太郎\n二行目");
    EXPECT_EQ(state.recording_seconds, 45);

    const qsizetype before = mark();
    OptionsDialog& d = open();
    EXPECT_EQ(spokenSince(before), (QStringList{"オプション", "署名"}));
    EXPECT_EQ(d.size(), QSize(twipsToPixelsX(6150, &d), twipsToPixelsY(4920, &d)));
    EXPECT_TRUE(d.newsCheck1->isChecked());
    EXPECT_EQ(d.newsSite1->text(), "https://news.example.jp/top");
    EXPECT_EQ(d.fraSample2->title(), "news.example.jp");
    EXPECT_EQ(d.signature1->toPlainText(), "山田'太郎\n二行目");
    EXPECT_EQ(d.rec_sec->text(), "45");
    EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
    EXPECT_TRUE(d.picOptions[0]->isVisible());
    EXPECT_FALSE(d.picOptions[1]->isVisible());
    EXPECT_EQ(unnamedControls(d), QStringList{});
}

TEST_F(OptionsTest, CancelLeavesTheStoreAndMemoryAsTheyWere) {
    struct Row {
        const char* name;
        std::function<void(OptionsDialog&)> close;
    };
    const Row rows[] = {
        {"ｷｬﾝｾﾙ",
         [](OptionsDialog& d) {
             ASSERT_TRUE(focusOn(d.cmdCancel));
             QTest::keyClick(d.cmdCancel, Qt::Key_Space);
         }},
        {"Esc", [](OptionsDialog& d) { QTest::keyClick(d.rec_sec, Qt::Key_Escape); }},
    };
    const Stored before{true, "news.example.jp", "署名です", 20, ""};
    store_(before);
    options.read_options();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        OptionsDialog& d = open();
        typeText(d.signature1, "追加の行");
        QTest::keyClick(d.signature1, Qt::Key_Tab);
        QTest::keyClick(d.newsCheck1, Qt::Key_Space);
        d.newsSite1->clear();
        typeText(d.newsSite1, "other.example.jp");
        d.rec_sec->clear();
        typeText(d.rec_sec, "99");
        row.close(d);
        EXPECT_EQ(options.dialog(), nullptr);
        EXPECT_EQ(stored(), before);
        EXPECT_EQ(state.signature, "署名です");
        EXPECT_EQ(state.recording_seconds, 20);
        EXPECT_EQ(spoken().last(), "キャンセルしました。オプションは変えていません");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    OptionsDialog& again = open();
    EXPECT_EQ(again.signature1->toPlainText(), "署名です");
    EXPECT_TRUE(again.newsCheck1->isChecked());
    EXPECT_EQ(again.rec_sec->text(), "20");
}

TEST_F(OptionsTest, CtrlTabGoesToTheNextTabAndFromTheLastToTheFirst) {
    OptionsDialog& d = open();
    qsizetype before = mark();
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.newsCheck1->hasFocus());
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 2);
    EXPECT_TRUE(d.rec_sec->hasFocus());
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
    EXPECT_TRUE(d.signature1->hasFocus());
    EXPECT_EQ(spokenSince(before), (QStringList{"最新ニュース", "起動時に最新を読む　チェックなし",
                                                "音声録音", "録音時間　秒", "署名", "署名"}));
    EXPECT_EQ(d.signature1->toPlainText(), "") << "no tab character typed";

    before = mark();
    for (const Qt::KeyboardModifiers other :
         {Qt::ControlModifier | Qt::ShiftModifier, Qt::ControlModifier | Qt::AltModifier}) {
        ctrlTab(other);
        EXPECT_EQ(d.tbsOptions->currentIndex(), 0);
    }
    EXPECT_TRUE(d.signature1->hasFocus());
    EXPECT_EQ(spokenSince(before), QStringList{});

    // Away from the pages the focus stays where it is.
    ASSERT_TRUE(focusOn(d.cmdOK));
    ctrlTab();
    EXPECT_EQ(d.tbsOptions->currentIndex(), 1);
    EXPECT_TRUE(d.cmdOK->hasFocus());
}

TEST_F(OptionsTest, ABadRecordingTimeIsRefusedAndTheDialogStaysOpen) {
    const Stored before{false, "", "前の署名", 30, ""};
    store_(before);
    options.read_options();
    for (const char* typed : {"", "abc", "3601"}) {
        SCOPED_TRACE(typed);
        OptionsDialog& d = open();
        typeText(d.signature1, "変えた署名");
        d.rec_sec->clear();
        typeText(d.rec_sec, typed);
        const qsizetype said = mark();
        pressOK(d);
        const QString refusal = "録音時間は1から3600までの秒数で入力してください";
        EXPECT_EQ(options.dialog(), &d);
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(d.rec_message->text(), refusal);
        EXPECT_EQ(spokenSince(said).mid(1), (QStringList{refusal, "音声録音", "録音時間　秒"}))
            << "after OK's own label";
        EXPECT_EQ(d.tbsOptions->currentIndex(), 2);
        EXPECT_TRUE(d.rec_sec->hasFocus());
        EXPECT_EQ(stored(), before) << "nothing is written, not even the signature";
        EXPECT_EQ(state.signature, "前の署名");
        d.reject();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(OptionsTest, OkChangesTheStoreAndTheValuesInMemoryAtOnce) {
    store_({false, "", "", 30, ""});
    options.read_options();
    state.voice_file_base = "orvane-user-20240101";  // a recording still to be sent
    OptionsDialog& d = open();
    typeText(d.signature1, "よろしく'お願いします");
    QTest::keyClick(d.signature1, Qt::Key_Return);
    typeText(d.signature1, "-- yamada");
    ctrlTab();
    qsizetype before = mark();
    QTest::keyClick(d.newsCheck1, Qt::Key_Space);
    EXPECT_EQ(spokenSince(before), QStringList{"チェックあり"});
    QTest::keyClick(d.newsCheck1, Qt::Key_Tab);
    typeText(d.newsSite1, "news.example.jp/today");
    EXPECT_EQ(d.fraSample2->title(), "news.example.jp");
    ctrlTab();
    d.rec_sec->clear();
    typeText(d.rec_sec, "90");
    QTest::keyClick(d.rec_sec, Qt::Key_Return);  // OK is the default button

    EXPECT_EQ(options.dialog(), nullptr);
    EXPECT_EQ(stored(),
              (Stored{true, "news.example.jp/today", "よろしく'お願いします\n-- yamada", 90, ""}));
    EXPECT_EQ(state.signature, "よろしく'お願いします\n-- yamada");
    EXPECT_EQ(state.recording_seconds, 90);
    EXPECT_EQ(spoken().last(), "オプションを保存しました");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // Opening the dialog again does not take back the recording's file name.
    open().reject();
    EXPECT_EQ(state.voice_file_base, "orvane-user-20240101");
}

}  // namespace
