// The account and option windows reached from the real main window.
#include "account_windows.h"
#include "options_dialog.h"
#include "settings_test_support.h"
#include "settings_wiring.h"
#include "window_test_support.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

const QStringList kTyped = {"pop3://127.0.0.1:1", "smtp://127.0.0.1:2", "taro",
                            "秘密のpass",         "taro@example.jp",    "太郎",
                            "こんにちは"};

template <typename T>
T* openWindowOf() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<T*>(w); window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void submit(AccountForm& form, const QStringList& texts) {
    // The modal form over a main window that has just been maximised.
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 2000));
    for (int i = 0; i < AccountForm::kFieldCount; ++i) {
        QLineEdit* box = form.Text1[static_cast<std::size_t>(i)];
        box->clear();
        typeText(box, texts.value(i));
    }
    ASSERT_TRUE(focusOn(form.Text1.back()));
    QTest::keyClick(form.Text1.back(), Qt::Key_Return);
}

class FirstUseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        home.createSettings = createSettingsPlaces;
        home.rcvAnswers = {QStringList{"0 0"}};
    }
    MailerHome home;
};

}  // namespace

TEST_F(FirstUseTest, TheSentenceIsSpokenTheFormRefusesAnEmptyFieldAndStartUpGoesOn) {
    bool formSeen = false;
    QTimer::singleShot(0, [&] {
        AccountForm* form = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (form = openWindowOf<AccountForm>()); }, 5000));
        formSeen = true;
        EXPECT_TRUE(form->isModal());
        EXPECT_TRUE(
            home.spoken().contains("はじめてのご使用です　メールアカウントの設定を行ってください"));
        QStringList partial = kTyped;
        partial[6].clear();
        const qsizetype mark = home.spoken().size();
        submit(*form, partial);
        EXPECT_EQ(form->Label2->text(), "すべてを入力してください");
        EXPECT_TRUE(home.spokenSince(mark).contains("すべてを入力してください"));
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(home.store().accounts().empty());
        submit(*form, kTyped);
        if (form->isVisible()) {  // a failure above must not leave start-up waiting
            form->reject();
        }
    });
    MainWindow& w = home.start();
    EXPECT_TRUE(formSeen);

    const std::vector<AccountRow> stored = home.store().accounts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].fields.email, "taro@example.jp");
    EXPECT_EQ(stored[0].fields.password, "秘密のpass");
    // Start-up went on with the account typed in: current, and its mailbox asked.
    EXPECT_EQ(w.state().current_account, 1);
    ASSERT_FALSE(home.mailFake->calls.isEmpty());
    EXPECT_EQ(home.mailFake->calls[0].args.mid(0, 4),
              (QStringList{"pop3://127.0.0.1:1", "taro", "秘密のpass", "STAT"}));
    const QStringList said = home.spoken();
    EXPECT_EQ(said.mid(said.size() - 3),
              (QStringList{"新規メールは有りません", "新着メールは有りません",
                           "未読メールは有りません"}));
}

TEST_F(FirstUseTest, MenuItemsOpenTheAccountListAndTheOptionsWithoutBlocking) {
    home.store().insertAccount(
        {kTyped[0], kTyped[1], kTyped[2], kTyped[3], kTyped[4], kTyped[5], kTyped[6]});
    MainWindow& w = home.start();
    w.menuAction("t_account")->trigger();
    auto* list = openWindowOf<AccountListWindow>();
    ASSERT_NE(list, nullptr);
    EXPECT_FALSE(list->isModal());
    EXPECT_EQ(list->List1->count(), 1);
    EXPECT_EQ(list->List1->item(0)->text(), "taro@example.jp");

    w.menuAction("t_option")->trigger();
    auto* options = openWindowOf<OptionsDialog>();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->windowTitle(), "ｵﾌﾟｼｮﾝ");
    EXPECT_FALSE(options->isModal());
    EXPECT_EQ(options->rec_sec->text(), "30");
}
