#pragma once

#include "mail_store.h"

#include <QDialog>
#include <QString>

#include <array>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvane::mailer {

class Announcer;
class SpokenFocus;

// account_list, "アカウント一覧": one line per loaded account (its address) and
// the buttons that act on the selected line. The controls only; what the
// buttons do is wired by Accounts. Every control says its label when it gets
// the focus; the list says the address of the line it moves to.
class AccountListWindow : public QDialog {
  public:
    AccountListWindow(const Announcer& announcer, QWidget* parent);

    QListWidget* List1 = nullptr;
    QPushButton* Command1 = nullptr;  // 追加
    QPushButton* Command2 = nullptr;  // 編集
    QPushButton* Command3 = nullptr;  // 削除
    QPushButton* Command4 = nullptr;  // キャンセル
    QPushButton* Command5 = nullptr;  // 既定に設定
    QLabel* Label2 = nullptr;         // message line: results and refusals

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// account_set, "アカウント編集": the seven fields of one account, a message
// line and OK / キャンセル. OK is the default button, so Enter in a field is OK.
class AccountForm : public QDialog {
  public:
    static constexpr int kFieldCount = 7;
    // The labels of Text1(0) to Text1(6), top to bottom.
    static const std::array<QString, kFieldCount>& captions();

    AccountForm(const Announcer& announcer, QWidget* parent);

    AccountFields fields() const;
    void setFields(const AccountFields& fields);
    // The first empty field, or -1 when every field holds text.
    int firstEmptyField() const;

    std::array<QLineEdit*, kFieldCount> Text1{};
    std::array<QLabel*, kFieldCount> Label1{};
    QLabel* Label2 = nullptr;         // message line
    QPushButton* Command1 = nullptr;  // OK
    QPushButton* Command2 = nullptr;  // キャンセル
};

}  // namespace orvane::mailer
