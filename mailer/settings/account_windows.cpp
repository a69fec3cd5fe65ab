#include "account_windows.h"

#include "announcer.h"
#include "spoken_focus.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane::mailer {

namespace {

QPushButton* button(const char* name, const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAccessibleName(caption);
    return b;
}

QLabel* messageLine(QWidget* parent) {
    auto* line = new QLabel(parent);
    line->setObjectName(QStringLiteral("Label2"));
    line->setAccessibleName(QStringLiteral("メッセージ"));
    line->setWordWrap(true);
    return line;
}

Qt::WindowFlags fixedDialogFlags() {
    return Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
}

}  // namespace

AccountListWindow::AccountListWindow(const Announcer& announcer, QWidget* parent)
    : QDialog(parent, fixedDialogFlags()) {
    setObjectName(QStringLiteral("account_list"));
    setWindowTitle(QStringLiteral("アカウント一覧"));
    setAccessibleName(windowTitle());

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setAccessibleName(QStringLiteral("アカウント一覧"));
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Enter on a line would otherwise press whichever button the dialog made
    // its default; on the list it does nothing.
    List1->installEventFilter(this);

    Command1 = button("Command1", QStringLiteral("追加"), this);
    Command2 = button("Command2", QStringLiteral("編集"), this);
    Command3 = button("Command3", QStringLiteral("削除"), this);
    Command4 = button("Command4", QStringLiteral("キャンセル"), this);
    Command5 = button("Command5", QStringLiteral("既定に設定"), this);
    Label2 = messageLine(this);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {Command1, Command2, Command3, Command5, Command4}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(List1, 1);
    columns->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(columns, 1);
    outer->addWidget(Label2);

    QWidget::setTabOrder(Command1, Command2);
    QWidget::setTabOrder(Command2, Command3);
    QWidget::setTabOrder(Command3, List1);
    QWidget::setTabOrder(List1, Command4);
    QWidget::setTabOrder(Command4, Command5);

    auto* spoken = new SpokenFocus(announcer, this);
    for (QPushButton* b : {Command1, Command2, Command3, Command4, Command5}) {
        spoken->add(b, b->text());
    }
    spoken->add(List1, [this] {
        const QString name = List1->accessibleName();
        if (List1->count() == 0) {
            return name + QStringLiteral("　アカウントはありません");
        }
        if (const QListWidgetItem* item = List1->currentItem()) {
            return name + QStringLiteral("　") + item->text();
        }
        return name;
    });
    connect(List1, &QListWidget::currentRowChanged, this, [this, &announcer](int row) {
        if (const QListWidgetItem* item = List1->item(row)) {
            announcer.speak(item->text());
        }
    });
}

bool AccountListWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == List1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

const std::array<QString, AccountForm::kFieldCount>& AccountForm::captions() {
    static const std::array<QString, kFieldCount> kCaptions = {
        QStringLiteral("POP"),        QStringLiteral("SMTP"),  QStringLiteral("アカウント"),
        QStringLiteral("パスワード"), QStringLiteral("email"), QStringLiteral("ニックネーム"),
        QStringLiteral("メール表題"),
    };
    return kCaptions;
}

AccountForm::AccountForm(const Announcer& announcer, QWidget* parent)
    : QDialog(parent, fixedDialogFlags()) {
    setObjectName(QStringLiteral("account_set"));
    setWindowTitle(QStringLiteral("アカウント編集"));
    setAccessibleName(windowTitle());

    auto* outer = new QVBoxLayout(this);
    auto* grid = new QFormLayout;
    outer->addLayout(grid);
    auto* spoken = new SpokenFocus(announcer, this);
    for (int i = 0; i < kFieldCount; ++i) {
        const QString& caption = captions()[static_cast<std::size_t>(i)];
        auto* label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("Label1_%1").arg(i));
        label->setAccessibleName(caption);
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text1_%1").arg(i));
        box->setAccessibleName(caption);
        // The password box shows what is typed, like the others, so that the
        // user can check it by eye or with a magnifier.
        label->setBuddy(box);
        grid->addRow(label, box);
        spoken->add(box, caption);
        Label1[static_cast<std::size_t>(i)] = label;
        Text1[static_cast<std::size_t>(i)] = box;
    }

    Label2 = messageLine(this);
    outer->addWidget(Label2);

    Command1 = button("Command1", QStringLiteral("OK"), this);
    Command2 = button("Command2", QStringLiteral("キャンセル"), this);
    Command1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    outer->addLayout(buttons);
    spoken->add(Command1, Command1->text());
    spoken->add(Command2, Command2->text());

    QWidget::setTabOrder(Command1, Command2);
    QWidget* previous = Command2;
    for (QLineEdit* box : Text1) {
        QWidget::setTabOrder(previous, box);
        previous = box;
    }
}

AccountFields AccountForm::fields() const {
    return {Text1[0]->text(), Text1[1]->text(), Text1[2]->text(), Text1[3]->text(),
            Text1[4]->text(), Text1[5]->text(), Text1[6]->text()};
}

void AccountForm::setFields(const AccountFields& f) {
    const QString* values[] = {&f.pop,   &f.smtp, &f.account,     &f.password,
                               &f.email, &f.name, &f.defaultTitle};
    for (std::size_t i = 0; i < Text1.size(); ++i) {
        Text1[i]->setText(*values[i]);
    }
}

int AccountForm::firstEmptyField() const {
    for (std::size_t i = 0; i < Text1.size(); ++i) {
        if (Text1[i]->text().isEmpty()) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace orvane::mailer
