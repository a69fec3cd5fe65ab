#include "accounts.h"

#include "account_windows.h"
#include "settings_test_support.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace orvane::mailer;

namespace {

QStringList values(const AccountFields& f) {
    return {f.pop, f.smtp, f.account, f.password, f.email, f.name, f.defaultTitle};
}

AccountFields sample(int n) {
    const QString k = QString::number(n);
    return {"pop" + k + ".example.jp",
            "smtp" + k + ".example.jp",
            "user" + k,
            "pass" + k,
            "user" + k + "@example.jp",
            "nick" + k,
            "title" + k};
}

// Presses a button the way a keyboard user does: focus, then Space.
void press(QPushButton* button) {
    ASSERT_TRUE(focusOn(button)) << button->text().toStdString();
    QTest::keyClick(button, Qt::Key_Space);
}

class AccountsTest : public SettingsTest {
  protected:
    void seed(int count, int flagged = 0) {
        for (int i = 1; i <= count; ++i) {
            const int id = store->insertAccount(sample(i));
            if (i == flagged) {
                store->setCurrentAccount(id);
            }
        }
    }
    AccountForm& form() { return *accounts.account_set(); }
    // Waits until the form that was just opened has the focus in its first field.
    bool formOpened() {
        return QTest::qWaitFor([this] { return form().Text1[0]->hasFocus(); }, 2000);
    }
    AccountListWindow& list() { return *accounts.account_list(); }

    // Opens the account list on the loaded accounts, focus on the list.
    AccountListWindow& openList() {
        accounts.t_account_Click();
        EXPECT_TRUE(QTest::qWaitFor([this] { return list().List1->hasFocus(); }, 2000));
        return list();
    }
    void selectLine(int row) {
        QListWidget* lines = list().List1;
        ASSERT_TRUE(focusOn(lines));
        QTest::keyClick(lines, Qt::Key_Home);
        for (int i = 0; i < row; ++i) {
            QTest::keyClick(lines, Qt::Key_Down);
        }
        ASSERT_EQ(lines->currentRow(), row);
    }
    // Replaces the text of every field whose value is given, by keys.
    void fill(const QStringList& texts) {
        for (int i = 0; i < AccountForm::kFieldCount; ++i) {
            QLineEdit* box = form().Text1[static_cast<std::size_t>(i)];
            box->clear();
            typeText(box, texts.value(i));
        }
    }
    // Fills the open form and presses Enter in its last field (OK is the default button).
    void submit(const QStringList& texts) {
        fill(texts);
        QLineEdit* last = form().Text1.back();
        ASSERT_TRUE(focusOn(last));
        QTest::keyClick(last, Qt::Key_Return);
    }

    Accounts accounts{*store, announcer, state, &mainWindow};
};

TEST_F(AccountsTest, FirstUseRefusesAnyEmptyFieldThenStoresTheAccountAsTypedAndCurrent) {
    ASSERT_FALSE(accounts.load_accounts());
    EXPECT_TRUE(state.accounts.empty());
    const QStringList typed = {
        "pop3s://pop.example.jp", "smtp.example.jp:587", "o'brien",  "pa'ss\"wörd 秘密",
        "o'brien@example.jp",     "山田 \"太郎\"",       "件名'です"};
    QTimer::singleShot(0, [&] {
        AccountForm& f = form();
        EXPECT_TRUE(f.isModal());
        EXPECT_TRUE(QTest::qWaitFor([&] { return f.Text1[0]->hasFocus(); }, 2000));
        for (int empty = 0; empty < AccountForm::kFieldCount; ++empty) {
            SCOPED_TRACE(AccountForm::captions()[static_cast<std::size_t>(empty)].toStdString());
            QStringList partial = typed;
            partial[empty].clear();
            const qsizetype before = mark();
            submit(partial);
            EXPECT_EQ(f.Label2->text(), "すべてを入力してください");
            // The refusal, then the label of the empty field where the focus goes.
            QStringList expected = {"すべてを入力してください"};
            if (empty != AccountForm::kFieldCount - 1) {  // else it is there already
                expected << AccountForm::captions()[static_cast<std::size_t>(empty)];
            }
            const QStringList said = spokenSince(before);
            EXPECT_EQ(said.mid(said.indexOf(expected[0])), expected);
            EXPECT_TRUE(f.Text1[static_cast<std::size_t>(empty)]->hasFocus());
            EXPECT_TRUE(f.isVisible());
            EXPECT_TRUE(store->accounts().empty());
        }
        submit(typed);
        if (f.isVisible()) {  // a failure above must not leave the test waiting
            f.reject();
        }
    });
    accounts.showFirstUse();

    const std::vector<AccountRow> stored = store->accounts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(values(stored[0].fields), typed);
    EXPECT_TRUE(stored[0].cur);
    ASSERT_EQ(state.accounts.size(), 1u);
    EXPECT_EQ(state.accounts[0].id, stored[0].id);
    EXPECT_EQ(values(state.accounts[0].fields), typed);
    EXPECT_EQ(state.current_account, 1);
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(spoken().last(), "o'brien@example.jp を登録し、既定に設定しました");

    // Start-up's choice then sends and receives with it.
    accounts.choose_current_account();
    EXPECT_EQ(state.current_account, 1);
    EXPECT_EQ(state.pop.server, "pop3s://pop.example.jp");
    EXPECT_EQ(state.pop.user, "o'brien");
    EXPECT_EQ(state.pop.password, "pa'ss\"wörd 秘密");
}

TEST_F(AccountsTest, ServerFieldsTakeTheFormsTheMailComponentReads) {
    struct Row {
        const char* name;
        const char* pop;
        const char* smtp;
        const char* refusal;  // beginning of the message, or nullptr when stored
    };
    const Row rows[] = {
        {"bare hosts", "pop.example.jp", "smtp.example.jp", nullptr},
        {"hosts with ports", "pop.example.jp:1110", "smtp.example.jp:587", nullptr},
        {"TLS schemes", "pop3s://pop.example.jp", "smtps://smtp.example.jp", nullptr},
        {"plain schemes", "pop3://pop.example.jp", "smtp://smtp.example.jp", nullptr},
        {"SMTP scheme in POP", "smtps://pop.example.jp", "smtp.example.jp", "POP"},
        {"POP scheme in SMTP", "pop.example.jp", "pop3s://smtp.example.jp", "SMTP"},
        {"port not a number", "pop.example.jp:pop", "smtp.example.jp", "POP"},
        {"web address", "pop.example.jp", "http://smtp.example.jp", "SMTP"},
    };
    accounts.load_accounts();
    openList();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t before = store->accounts().size();
        press(list().Command1);
        ASSERT_TRUE(formOpened());
        QStringList texts = values(sample(1));
        texts[0] = row.pop;
        texts[1] = row.smtp;
        submit(texts);
        if (row.refusal == nullptr) {
            EXPECT_FALSE(form().isVisible());
            ASSERT_EQ(store->accounts().size(), before + 1);
            EXPECT_EQ(store->accounts().back().fields.pop, row.pop);
            EXPECT_EQ(store->accounts().back().fields.smtp, row.smtp);
        } else {
            EXPECT_TRUE(form().Label2->text().startsWith(row.refusal));
            EXPECT_TRUE(spoken().contains(form().Label2->text()));
            EXPECT_TRUE(form().Text1[QString(row.refusal) == "POP" ? 0 : 1]->hasFocus());
            EXPECT_EQ(store->accounts().size(), before);
            form().reject();
        }
    }
}

TEST_F(AccountsTest, AnAddedAccountCanBeMadeCurrentEditedAndDeletedAtOnce) {
    seed(2, 1);
    ASSERT_TRUE(accounts.load_accounts());
    EXPECT_EQ(state.current_account, 1);
    openList();
    EXPECT_EQ(list().List1->count(), 2);

    press(list().Command1);
    ASSERT_TRUE(formOpened());
    EXPECT_EQ(spoken().mid(spoken().size() - 2), (QStringList{"アカウントの追加", "POP"}));
    submit(values(sample(3)));
    ASSERT_EQ(state.accounts.size(), 3u);
    const int id = state.accounts[2].id;
    ASSERT_EQ(store->accounts().size(), 3u);
    EXPECT_EQ(store->accounts()[2].id, id);
    EXPECT_EQ(list().List1->item(2)->text(), "user3@example.jp");
    EXPECT_EQ(state.current_account, 1) << "an account is current already";

    selectLine(2);
    press(list().Command5);
    EXPECT_EQ(list().Label2->text(), "user3@example.jp を既定に設定しました");
    EXPECT_EQ(spoken().last(), list().Label2->text());
    EXPECT_EQ(state.current_account, 3);
    for (const AccountRow& row : store->accounts()) {
        EXPECT_EQ(row.cur, row.id == id) << row.id;
    }
    EXPECT_EQ(state.currentAccount()->fields.smtp, "smtp3.example.jp");

    selectLine(2);
    press(list().Command2);
    ASSERT_TRUE(formOpened());
    EXPECT_EQ(values(form().fields()), values(sample(3)));
    QStringList changed = values(sample(3));
    changed[4] = "新しい'address@example.jp";
    submit(changed);
    EXPECT_FALSE(form().isVisible());
    EXPECT_EQ(values(store->accounts()[2].fields), changed);
    EXPECT_EQ(values(store->accounts()[0].fields), values(sample(1)));
    EXPECT_EQ(values(state.accounts[2].fields), changed);
    EXPECT_EQ(list().List1->item(2)->text(), "新しい'address@example.jp");

    selectLine(2);
    press(list().Command3);
    EXPECT_EQ(store->accounts().size(), 2u);
    EXPECT_EQ(state.accounts.size(), 2u);
    EXPECT_EQ(list().List1->count(), 2);
    EXPECT_EQ(state.current_account, 0) << "the current account was deleted";
    EXPECT_TRUE(spoken().contains("新しい'address@example.jp を削除しました"));
}

TEST_F(AccountsTest, DeletingALineBeforeTheCurrentOneKeepsTheSameAccountCurrent) {
    seed(3, 3);
    accounts.load_accounts();
    openList();
    selectLine(0);
    press(list().Command3);
    EXPECT_EQ(state.current_account, 2);
    EXPECT_EQ(state.currentAccount()->fields.email, "user3@example.jp");
    // The list moved to the next line and said it.
    EXPECT_EQ(spoken().mid(spoken().size() - 2),
              (QStringList{"user1@example.jp を削除しました", "user2@example.jp"}));
}

TEST_F(AccountsTest, EditDeleteAndMakeCurrentWithoutALineSayWhyAndDoNothing) {
    struct Row {
        const char* name;
        QPushButton* AccountListWindow::*button;
    };
    const Row rows[] = {{"編集", &AccountListWindow::Command2},
                        {"削除", &AccountListWindow::Command3},
                        {"既定に設定", &AccountListWindow::Command5}};
    for (const int count : {0, 2}) {
        seed(count, 1);
        accounts.load_accounts();
        openList();
        list().List1->setCurrentRow(-1);
        const QString expected =
            count == 0 ? "アカウントがありません" : "アカウントを選んでください";
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + " with " + std::to_string(count));
            press(list().*row.button);
            EXPECT_EQ(list().Label2->text(), expected);
            EXPECT_EQ(spoken().last(), expected);
            EXPECT_TRUE(accounts.account_set() == nullptr || !form().isVisible());
            EXPECT_EQ(store->accounts().size(), static_cast<std::size_t>(count));
            EXPECT_EQ(state.current_account, count == 0 ? 0 : 1);
        }
    }
}

TEST_F(AccountsTest, OnlyTwentyAccountsAreLoadedAndATwentyFirstIsRefused) {
    seed(21, 21);
    const qsizetype before = mark();
    ASSERT_TRUE(accounts.load_accounts());
    EXPECT_EQ(state.accounts.size(), 20u);
    EXPECT_EQ(state.current_account, 0) << "the flagged row is not loaded";
    EXPECT_EQ(spokenSince(before),
              QStringList{"アカウントが21件あります。はじめの20件だけを使います"});

    store->deleteAccount(store->accounts().back().id);
    accounts.load_accounts();
    openList();
    press(list().Command1);
    EXPECT_TRUE(list().Label2->text().startsWith("アカウントは20件までです"));
    EXPECT_EQ(spoken().last(), list().Label2->text());
    EXPECT_EQ(accounts.account_set(), nullptr);
    EXPECT_EQ(store->accounts().size(), 20u);
}

TEST_F(AccountsTest, OfTwoFlaggedAccountsTheLaterIsCurrent) {
    seed(3, 1);
    store->setCurrentAccount(store->accounts()[2].id);
    ASSERT_TRUE(accounts.load_accounts());
    accounts.choose_current_account();
    EXPECT_EQ(state.current_account, 3);
    EXPECT_EQ(state.pop.server, "pop3.example.jp");
    EXPECT_EQ(state.pop.user, "user3");
    EXPECT_EQ(state.pop.password, "pass3");
}

TEST_F(AccountsTest, EditingAnAccountDeletedMeanwhileStoresNothing) {
    seed(2, 1);
    accounts.load_accounts();
    openList();
    selectLine(0);
    press(list().Command2);
    ASSERT_TRUE(formOpened());
    selectLine(0);
    press(list().Command3);
    form().activateWindow();
    submit(values(sample(9)));
    EXPECT_EQ(form().Label2->text(), "このアカウントは削除されています");
    EXPECT_EQ(spoken().last(), "このアカウントは削除されています");
    ASSERT_EQ(store->accounts().size(), 1u);
    EXPECT_EQ(values(store->accounts()[0].fields), values(sample(2)));
}

TEST_F(AccountsTest, TheWindowsSayWhereTheFocusIsInTheirTabOrder) {
    seed(2);
    accounts.load_accounts();
    qsizetype before = mark();
    AccountListWindow& window = openList();
    EXPECT_EQ(spokenSince(before), QStringList{"アカウント一覧　user1@example.jp"});
    before = mark();
    QTest::keyClick(window.List1, Qt::Key_Down);
    QTest::keyClick(window.List1, Qt::Key_Return);  // does nothing on the list
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(spokenSince(before), QStringList{"user2@example.jp"});

    before = mark();
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(spokenSince(before), (QStringList{"キャンセル", "既定に設定", "追加", "編集", "削除",
                                                "アカウント一覧　user2@example.jp"}));

    press(window.Command2);
    ASSERT_TRUE(formOpened());
    before = mark();
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QStringList order = {"SMTP",       "アカウント", "パスワード", "email", "ニックネーム",
                         "メール表題", "OK",         "キャンセル", "POP"};
    EXPECT_EQ(spokenSince(before), order);
    EXPECT_EQ(form().Text1[3]->echoMode(), QLineEdit::Normal);

    QTest::keyClick(form().Text1[0], Qt::Key_Escape);
    EXPECT_FALSE(form().isVisible());
    QTest::keyClick(window.List1, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(spoken().last(), "アカウント一覧を閉じます");
    // Opened again, it keeps its place.
    openList();
    EXPECT_EQ(window.List1->currentRow(), 1);

    EXPECT_EQ(unnamedControls(window), QStringList{});
    EXPECT_EQ(unnamedControls(form()), QStringList{});
}

TEST_F(AccountsTest, TheStoreThatHoldsThePasswordsIsReadableByTheUserAlone) {
    seed(1);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteGroup | QFileDevice::WriteOther;
    for (const QString& file : {storePath(), storePath() + "-wal"}) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(QFileInfo::exists(file));
        EXPECT_EQ(QFileInfo(file).permissions() & others, QFileDevice::Permissions());
    }
}

}  // namespace
