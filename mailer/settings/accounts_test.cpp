// The account list and form, reached from the real main window.
#include "account_windows.h"
#include "settings_test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>

using namespace orvane::mailer;

namespace {

QStringList values(const AccountFields& f) {
    return {f.pop, f.smtp, f.account, f.password, f.email, f.name, f.defaultTitle};
}

// Fills `form` and presses Enter in its last field (OK is the default button).
void submit(AccountForm& form, const QStringList& texts) {
    for (int i = 0; i < AccountForm::kFieldCount; ++i) {
        QLineEdit* box = form.Text1[static_cast<std::size_t>(i)];
        box->clear();
        typeText(box, texts.value(i));
    }
    ASSERT_TRUE(focusOn(form.Text1.back()));
    QTest::keyClick(form.Text1.back(), Qt::Key_Return);
}

class AccountsTest : public SettingsWindowTest {
  protected:
    std::vector<AccountRow> stored() { return home.store().accounts(); }

    AccountListWindow& openList() {
        home.window->menuAction("t_account")->trigger();
        list = openWindowOf<AccountListWindow>();
        EXPECT_FALSE(list->isModal());
        EXPECT_TRUE(QTest::qWaitFor([this] { return list->List1->hasFocus(); }, 2000));
        return *list;
    }
    void selectLine(int row) {
        ASSERT_TRUE(focusOn(list->List1));
        list->List1->setCurrentRow(row);
    }
    // Presses a button of the list and waits for the form it opens.
    AccountForm& openForm(QPushButton* button) {
        press(button);
        form = openWindowOf<AccountForm>();
        EXPECT_TRUE(QTest::qWaitFor([this] { return form && form->Text1[0]->hasFocus(); }, 2000));
        return *form;
    }

    AccountListWindow* list = nullptr;
    AccountForm* form = nullptr;
};

}  // namespace

TEST_F(AccountsTest, FirstUseRefusesAnEmptyFieldOrAWrongSchemeThenGoesOnWithTheAccountAsTyped) {
    const QStringList typed = {
        "pop3s://pop.example.jp", "smtps://smtp.example.jp", "o'brien",  "pa'ss\"wörd 秘密",
        "o'brien@example.jp",     "山田 \"太郎\"",           "件名'です"};
    struct Refused {
        int field;
        QString text;
        QString message;
    };
    QList<Refused> refused;
    // An empty field: the first and the last, which has the focus already.
    for (const int i : {0, AccountForm::kFieldCount - 1}) {
        refused.append({i, "", "すべてを入力してください"});
    }
    refused.append({0, "smtps://pop.example.jp",
                    "POP サーバーは、ホスト名、ホスト名:ポート番号、pop3s://ホスト名 "
                    "のどれかの形で入力してください"});
    refused.append({1, "pop3s://smtp.example.jp",
                    "SMTP サーバーは、ホスト名、ホスト名:ポート番号、smtps://ホスト名 "
                    "のどれかの形で入力してください"});
    QTimer::singleShot(0, [&] {
        AccountForm* f = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] { return (f = openWindowOf<AccountForm>()); }, 5000));
        EXPECT_TRUE(f->isModal());
        EXPECT_TRUE(
            home.spoken().contains("はじめてのご使用です　メールアカウントの設定を行ってください"));
        f->activateWindow();  // over a main window that has just been maximised
        ASSERT_TRUE(QTest::qWaitForWindowActive(f, 2000));
        // Shown, then made active: the field that has the focus is said once.
        EXPECT_EQ(home.spoken().count("POP"), 1);
        for (const Refused& row : refused) {
            const QString caption = AccountForm::captions()[static_cast<std::size_t>(row.field)];
            SCOPED_TRACE((caption + " " + row.text).toStdString());
            QStringList partial = typed;
            partial[row.field] = row.text;
            const qsizetype before = home.spoken().size();
            submit(*f, partial);
            EXPECT_EQ(f->Label2->text(), row.message);
            EXPECT_TRUE(f->Text1[static_cast<std::size_t>(row.field)]->hasFocus());
            // The message, then the label of the field that takes the focus
            // (the last one has it already).
            const QStringList said = home.spokenSince(before);
            EXPECT_EQ(said.mid(said.indexOf(row.message)).join(" / "),
                      row.field == AccountForm::kFieldCount - 1 ? row.message
                                                                : row.message + " / " + caption);
            EXPECT_TRUE(home.store().accounts().empty());
        }
        submit(*f, typed);
        if (f->isVisible()) {  // a failure above must not leave start-up waiting
            f->reject();
        }
    });
    home.start();

    const std::vector<AccountRow> rows = stored();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(values(rows[0].fields), typed);
    EXPECT_TRUE(rows[0].cur);
    EXPECT_EQ(state().current_account, 1);
    EXPECT_TRUE(home.spoken().contains("o'brien@example.jp を登録し、既定に設定しました"));
    // Start-up went on with the account typed in: its mailbox was asked.
    ASSERT_FALSE(home.mailFake->calls.isEmpty());
    EXPECT_EQ(home.mailFake->calls[0].args.mid(0, 4),
              (QStringList{typed[0], typed[2], typed[3], "STAT"}));
}

TEST_F(AccountsTest, AnAddedAccountCanBeMadeCurrentEditedAndDeletedAndNoLineMeansNothingDone) {
    start(3, {1, 3});
    // Of two flagged accounts the later is current, and its server is used.
    EXPECT_EQ(state().current_account, 3);
    EXPECT_EQ(state().pop.server, "pop3.example.jp");
    openList();

    openForm(list->Command1);
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2),
              (QStringList{"アカウントの追加", "POP"}));
    submit(*form, values(sample(4)));
    ASSERT_EQ(state().accounts.size(), 4u);
    const int id = state().accounts[3].id;
    EXPECT_EQ(stored()[3].id, id);
    EXPECT_EQ(list->List1->item(3)->text(), "user4@example.jp");
    EXPECT_EQ(state().current_account, 3) << "an account is current already";
    EXPECT_EQ(lastSpoken(), "user4@example.jp を登録しました");

    selectLine(3);
    press(list->Command5);
    EXPECT_EQ(list->Label2->text(), "user4@example.jp を既定に設定しました");
    EXPECT_EQ(lastSpoken(), list->Label2->text());
    EXPECT_EQ(state().current_account, 4);
    for (const AccountRow& row : stored()) {
        EXPECT_EQ(row.cur, row.id == id) << row.id;
    }

    selectLine(3);
    EXPECT_EQ(values(openForm(list->Command2).fields()), values(sample(4)));
    QStringList changed = values(sample(4));
    changed[4] = "新しい'address@example.jp";
    submit(*form, changed);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(values(stored()[3].fields), changed);
    EXPECT_EQ(values(stored()[0].fields), values(sample(1)));
    EXPECT_EQ(values(state().accounts[3].fields), changed);
    EXPECT_EQ(list->List1->item(3)->text(), changed[4]);

    // A line before the current one: the same account stays current, and
    // the list says the line it moved to.
    selectLine(0);
    press(list->Command3);
    EXPECT_EQ(state().current_account, 3);
    EXPECT_EQ(state().currentAccount()->id, id);
    EXPECT_EQ(home.spoken().mid(home.spoken().size() - 2),
              (QStringList{"user1@example.jp を削除しました", "user2@example.jp"}));
    // The current account, deleted while its form is open: the form's OK
    // stores nothing.
    selectLine(2);
    openForm(list->Command2);
    selectLine(2);
    press(list->Command3);
    EXPECT_EQ(state().current_account, 0) << "the current account was deleted";
    EXPECT_EQ(state().accounts.size(), 2u);
    EXPECT_EQ(list->List1->count(), 2);
    form->activateWindow();
    submit(*form, values(sample(9)));
    EXPECT_EQ(form->Label2->text(), "このアカウントは削除されています");
    EXPECT_EQ(lastSpoken(), form->Label2->text());
    ASSERT_EQ(stored().size(), 2u);
    EXPECT_EQ(values(stored()[1].fields), values(sample(3)));
    form->reject();

    // Without a line, edit, delete and make-current say why and do nothing.
    selectLine(0);
    press(list->Command5);
    for (const int count : {2, 0}) {
        while (list->List1->count() > count) {
            selectLine(0);
            press(list->Command3);
        }
        list->List1->setCurrentRow(-1);
        const QString expected =
            count == 0 ? "アカウントがありません" : "アカウントを選んでください";
        for (QPushButton* button : {list->Command2, list->Command3, list->Command5}) {
            SCOPED_TRACE(button->text().toStdString() + " with " + std::to_string(count));
            press(button);
            EXPECT_EQ(list->Label2->text(), expected);
            EXPECT_EQ(lastSpoken(), expected);
            EXPECT_EQ(openWindowOf<AccountForm>(), nullptr);
            EXPECT_EQ(stored().size(), static_cast<std::size_t>(count));
            EXPECT_EQ(state().current_account, count == 0 ? 0 : 1);
        }
    }
}

TEST_F(AccountsTest, TheListSaysItsLinesKeepsItsPlaceAndRefusesATwentyFirstAccount) {
    start(21, {21});
    EXPECT_EQ(state().accounts.size(), 20u);
    EXPECT_EQ(state().current_account, 0) << "the flagged account is not loaded";
    EXPECT_TRUE(home.spoken().contains("アカウントが21件あります。はじめの20件だけを使います"));

    const qsizetype before = home.spoken().size();
    AccountListWindow& window = openList();
    QTest::keyClick(window.List1, Qt::Key_Down);
    QTest::keyClick(window.List1, Qt::Key_Return);  // does nothing on the list
    EXPECT_EQ(home.spokenSince(before),
              (QStringList{"アカウント一覧　user1@example.jp", "user2@example.jp"}));
    EXPECT_TRUE(window.isVisible());
    openForm(window.Command2);
    EXPECT_EQ(form->Text1[3]->echoMode(), QLineEdit::Normal) << "the password shows as typed";
    EXPECT_EQ(unnamedControls(*form), QStringList{});
    EXPECT_EQ(unnamedControls(window), QStringList{});
    QTest::keyClick(form->Text1[0], Qt::Key_Escape);
    QTest::keyClick(window.List1, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible() || window.isVisible());
    EXPECT_EQ(lastSpoken(), "アカウント一覧を閉じます");
    EXPECT_EQ(openList().List1->currentRow(), 1) << "opened again, it keeps its place";

    press(list->Command1);
    EXPECT_TRUE(list->Label2->text().startsWith("アカウントは20件までです"));
    EXPECT_EQ(lastSpoken(), list->Label2->text());
    EXPECT_EQ(openWindowOf<AccountForm>(), nullptr);
    EXPECT_EQ(stored().size(), 21u);
}
