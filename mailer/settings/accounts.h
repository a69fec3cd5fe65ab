#pragma once

#include "expected.h"
#include "mailer_state.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class QLabel;
class QWidget;

namespace orvane::mailer {

class AccountForm;
class AccountListWindow;
class Announcer;
class MailStore;

// The mail accounts: loading them, the account list and the account form.
// Reads and writes MailerState::accounts and current_account (and, in
// choose_current_account, pop). The store and the loaded accounts always
// agree: an added account is loaded with the id the store gave it, a deleted
// one leaves the loaded accounts and the list at once.
class Accounts : public QObject {
    Q_OBJECT
  public:
    Accounts(MailStore& store, Announcer& announcer, MailerState& state, QWidget* mainWindow);
    ~Accounts() override;

    // Loads the store's accounts (at most kMaxAccounts, in the store's order);
    // true when the store holds at least one. current_account is the last
    // flagged entry, or 0.
    bool load_accounts();
    // Start-up's choice after loading: the last flagged entry is current, and
    // the working POP values are its server, user and password (empty when no
    // entry is current).
    void choose_current_account();

    // The account form in "new" mode, modal; returns when it is closed.
    void showFirstUse();
    // Shows the account list, not modal.
    void t_account_Click();

    // The windows, once made (nullptr before).
    AccountListWindow* account_list() const;
    AccountForm* account_set() const;

  private:
    enum class Mode { New, Edit };

    AccountListWindow& listWindow();
    AccountForm& form();
    void fillList();
    void prepareForm(Mode mode, int editId);
    void showForm();

    void Command1_Click();  // 追加
    void Command2_Click();  // 編集
    void Command3_Click();  // 削除
    void Command5_Click();  // 既定に設定
    void formOK_Click();

    // The loaded entry of the list's selected line (0-based), or nothing after
    // saying why.
    std::optional<int> selectedEntry();
    Expected<void> checkServers();
    void addAccount(const AccountFields& fields);
    void editAccount(const AccountFields& fields);
    void makeCurrent(int entry);
    // Shows `text` on `line` and speaks it.
    void tell(QLabel* line, const QString& text);
    // Runs a handler that writes to the store; a refused statement is shown
    // and spoken and leaves the windows as they were.
    void guarded(QLabel* line, const std::function<void()>& handler);

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    QWidget* mainWindow_;
    QPointer<AccountListWindow> list_;
    QPointer<AccountForm> form_;
    Mode mode_ = Mode::New;
    int editAccountId_ = 0;
};

}  // namespace orvane::mailer
