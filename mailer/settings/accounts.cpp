#include "accounts.h"

#include "account_windows.h"
#include "announcer.h"
#include "mail_store.h"
#include "server_address.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>

namespace orvane::mailer {

namespace {

const QString kFillEverything = QStringLiteral("すべてを入力してください");
const QString kSelectAccount = QStringLiteral("アカウントを選んでください");
const QString kNoAccounts = QStringLiteral("アカウントがありません");
const QString kTooMany =
    QStringLiteral("アカウントは%1件までです。ほかのアカウントを削除してから追加してください")
        .arg(kMaxAccounts);
const QString kAccountGone = QStringLiteral("このアカウントは削除されています");

}  // namespace

Accounts::Accounts(MailStore& store, Announcer& announcer, MailerState& state, QWidget* mainWindow)
    : store_(store), announcer_(announcer), state_(state), mainWindow_(mainWindow) {}

Accounts::~Accounts() {
    // The windows speak through the announcer, which may go before the main
    // window that parents them.
    delete form_.data();
    delete list_.data();
}

AccountListWindow* Accounts::account_list() const {
    return list_;
}

AccountForm* Accounts::account_set() const {
    return form_;
}

bool Accounts::load_accounts() {
    const std::vector<AccountRow> rows = store_.accounts();
    state_.accounts.clear();
    state_.current_account = 0;
    for (const AccountRow& row : rows) {
        if (static_cast<int>(state_.accounts.size()) == kMaxAccounts) {
            const QString notice =
                QStringLiteral("アカウントが%1件あります。はじめの%2件だけを使います")
                    .arg(rows.size())
                    .arg(kMaxAccounts);
            announcer_.show_message(notice);
            announcer_.speak(notice);
            break;
        }
        state_.accounts.push_back(row);
        if (row.cur) {
            state_.current_account = static_cast<int>(state_.accounts.size());
        }
    }
    if (list_) {
        fillList();
    }
    return !rows.empty();
}

void Accounts::choose_current_account() {
    state_.current_account = 0;
    for (std::size_t i = 0; i < state_.accounts.size(); ++i) {
        if (state_.accounts[i].cur) {
            state_.current_account = static_cast<int>(i) + 1;
        }
    }
    const AccountRow* current = state_.currentAccount();
    state_.pop =
        current ? PopValues{current->fields.pop, current->fields.account, current->fields.password}
                : PopValues{};
}

AccountListWindow& Accounts::listWindow() {
    if (!list_) {
        list_ = new AccountListWindow(announcer_, mainWindow_);
        connect(list_->Command1, &QPushButton::clicked, this, &Accounts::Command1_Click);
        connect(list_->Command2, &QPushButton::clicked, this, &Accounts::Command2_Click);
        connect(list_->Command3, &QPushButton::clicked, this, &Accounts::Command3_Click);
        connect(list_->Command5, &QPushButton::clicked, this, &Accounts::Command5_Click);
        connect(list_->Command4, &QPushButton::clicked, list_, &QDialog::reject);
        // キャンセル, Esc and the close box only hide it; it keeps its lines.
        connect(list_, &QDialog::rejected, this,
                [this] { announcer_.speak(QStringLiteral("アカウント一覧を閉じます")); });
        fillList();
    }
    return *list_;
}

AccountForm& Accounts::form() {
    if (!form_) {
        form_ = new AccountForm(announcer_, mainWindow_);
        connect(form_->Command1, &QPushButton::clicked, this, &Accounts::formOK_Click);
        connect(form_->Command2, &QPushButton::clicked, form_, &QDialog::reject);
        connect(form_, &QDialog::rejected, this, [this] {
            announcer_.speak(QStringLiteral("キャンセルしました。アカウントは保存していません"));
        });
    }
    return *form_;
}

void Accounts::fillList() {
    QListWidget* list = list_->List1;
    const int keep = list->currentRow();
    const QSignalBlocker quiet(list);
    list->clear();
    for (const AccountRow& row : state_.accounts) {
        list->addItem(row.fields.email);
    }
    // The list opens on a line, so that it can say one.
    if (keep >= 0 && keep < list->count()) {
        list->setCurrentRow(keep);
    } else if (list->count() > 0) {
        list->setCurrentRow(0);
    }
}

void Accounts::t_account_Click() {
    AccountListWindow& window = listWindow();
    fillList();
    window.Label2->clear();
    window.show();
    window.raise();
    window.activateWindow();
    window.List1->setFocus(Qt::OtherFocusReason);
}

void Accounts::showFirstUse() {
    prepareForm(Mode::New, 0);
    AccountForm& f = form();
    f.Text1[0]->setFocus(Qt::OtherFocusReason);
    f.exec();
}

void Accounts::prepareForm(Mode mode, int editId) {
    AccountForm& f = form();
    mode_ = mode;
    editAccountId_ = editId;
    f.Label2->clear();
    AccountFields shown;
    if (mode == Mode::Edit) {
        for (const AccountRow& row : state_.accounts) {
            if (row.id == editId) {
                shown = row.fields;
            }
        }
    }
    f.setFields(shown);
}

void Accounts::showForm() {
    AccountForm& f = form();
    f.show();
    f.raise();
    f.activateWindow();
    f.Text1[0]->setFocus(Qt::OtherFocusReason);
}

void Accounts::tell(QLabel* line, const QString& text) {
    line->setText(text);
    announcer_.speak(text);
}

void Accounts::guarded(QLabel* line, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const StoreError& e) {
        line->setText(QStringLiteral("エラー：") + e.reason());
        announcer_.report_error(e.reason());
    }
}

std::optional<int> Accounts::selectedEntry() {
    QListWidget* list = list_->List1;
    const int row = list->currentRow();
    if (row < 0 || row >= static_cast<int>(state_.accounts.size())) {
        tell(list_->Label2, list->count() == 0 ? kNoAccounts : kSelectAccount);
        return std::nullopt;
    }
    return row;
}

void Accounts::Command1_Click() {
    if (static_cast<int>(state_.accounts.size()) >= kMaxAccounts) {
        tell(list_->Label2, kTooMany);
        return;
    }
    list_->Label2->clear();
    announcer_.speak(QStringLiteral("アカウントの追加"));
    prepareForm(Mode::New, 0);
    showForm();
}

void Accounts::Command2_Click() {
    const auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    list_->Label2->clear();
    announcer_.speak(QStringLiteral("アカウントの編集"));
    prepareForm(Mode::Edit, state_.accounts[static_cast<std::size_t>(*entry)].id);
    showForm();
}

void Accounts::Command3_Click() {
    const auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    guarded(list_->Label2, [this, k = *entry] {
        const AccountRow row = state_.accounts[static_cast<std::size_t>(k)];
        store_.deleteAccount(row.id);
        state_.accounts.erase(state_.accounts.begin() + k);
        if (state_.current_account == k + 1) {
            state_.current_account = 0;
        } else if (state_.current_account > k + 1) {
            --state_.current_account;
        }
        tell(list_->Label2, row.fields.email + QStringLiteral(" を削除しました"));
        // The list moves to the next line and says it.
        delete list_->List1->takeItem(k);
    });
}

void Accounts::Command5_Click() {
    const auto entry = selectedEntry();
    if (!entry) {
        return;
    }
    guarded(list_->Label2, [this, k = *entry] {
        makeCurrent(k);
        tell(list_->Label2, state_.accounts[static_cast<std::size_t>(k)].fields.email +
                                QStringLiteral(" を既定に設定しました"));
    });
}

void Accounts::makeCurrent(int entry) {
    store_.clearCurrentAccount();
    store_.setCurrentAccount(state_.accounts[static_cast<std::size_t>(entry)].id);
    for (AccountRow& row : state_.accounts) {
        row.cur = false;
    }
    state_.accounts[static_cast<std::size_t>(entry)].cur = true;
    state_.current_account = entry + 1;
}

Expected<void> Accounts::checkServers() {
    const AccountForm& f = *form_;
    if (!mail::parseServerAddress(f.Text1[0]->text(), mail::MailProtocol::Pop3)) {
        return fail(
            FailureKind::BadInput,
            QStringLiteral("POP サーバーは、ホスト名、ホスト名:ポート番号、pop3s://ホスト名 "
                           "のどれかの形で入力してください"));
    }
    if (!mail::parseServerAddress(f.Text1[1]->text(), mail::MailProtocol::Smtp)) {
        return fail(
            FailureKind::BadInput,
            QStringLiteral("SMTP サーバーは、ホスト名、ホスト名:ポート番号、smtps://ホスト名 "
                           "のどれかの形で入力してください"));
    }
    return success();
}

void Accounts::formOK_Click() {
    AccountForm& f = form();
    if (const int empty = f.firstEmptyField(); empty >= 0) {
        tell(f.Label2, kFillEverything);
        f.Text1[static_cast<std::size_t>(empty)]->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (const Expected<void> servers = checkServers(); !servers) {
        const QString& wrong = servers.failure().reason;
        tell(f.Label2, wrong);
        const bool popIsWrong = wrong.startsWith(QLatin1String("POP"));
        f.Text1[popIsWrong ? 0 : 1]->setFocus(Qt::OtherFocusReason);
        return;
    }
    guarded(f.Label2, [this, &f] {
        if (mode_ == Mode::New) {
            addAccount(f.fields());
        } else {
            editAccount(f.fields());
        }
    });
}

void Accounts::addAccount(const AccountFields& fields) {
    AccountForm& f = *form_;
    if (static_cast<int>(state_.accounts.size()) >= kMaxAccounts) {
        tell(f.Label2, kTooMany);
        return;
    }
    const int id = store_.insertAccount(fields);
    state_.accounts.push_back(AccountRow{id, false, fields});
    const int entry = static_cast<int>(state_.accounts.size()) - 1;
    if (list_) {
        const QSignalBlocker quiet(list_->List1);
        list_->List1->addItem(fields.email);
        list_->List1->setCurrentRow(entry);
    }
    // With no current account nothing could be sent; the new one becomes it.
    const bool becomesCurrent = state_.current_account == 0;
    if (becomesCurrent) {
        makeCurrent(entry);
    }
    announcer_.speak(fields.email + (becomesCurrent
                                         ? QStringLiteral(" を登録し、既定に設定しました")
                                         : QStringLiteral(" を登録しました")));
    f.accept();
}

void Accounts::editAccount(const AccountFields& fields) {
    AccountForm& f = *form_;
    const auto it =
        std::find_if(state_.accounts.begin(), state_.accounts.end(),
                     [this](const AccountRow& row) { return row.id == editAccountId_; });
    if (it == state_.accounts.end()) {
        tell(f.Label2, kAccountGone);
        return;
    }
    store_.updateAccount(it->id, fields);
    it->fields = fields;
    if (list_) {
        list_->List1->item(static_cast<int>(it - state_.accounts.begin()))->setText(fields.email);
    }
    announcer_.speak(fields.email + QStringLiteral(" のアカウントを変更しました"));
    f.accept();
}

}  // namespace orvane::mailer
