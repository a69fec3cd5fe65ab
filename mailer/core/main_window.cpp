#include "main_window.h"

#include "agent.h"
#include "character.h"
#include "input_hold.h"
#include "mail_component.h"
#include "mail_store.h"
#include "menu_table.h"
#include "program_folder.h"
#include "shell_wait.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTableWidget>
#include <QTextEdit>
#include <QTextStream>
#include <QTime>
#include <QVBoxLayout>

#include <exception>

namespace orvane::mailer {

namespace {

const QString kGothic = QStringLiteral("ＭＳ ゴシック");

QFont gothic(double points, bool bold = false) {
    QFont font(kGothic);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* captionLabel(const QString& name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(gothic(9.75, true));
    return label;
}

}  // namespace

MainWindow::MainWindow(MailerServices services)
    : services_(std::move(services)), announcer_(nullptr, nullptr) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvane Mailer V 2.0"));
    setFont(gothic(11.25));
    buildControls();
    buildMenus();
    connectHandlers();
    announcer_ = Announcer(cmd_message, shortcut02);
    shellWait_ = new ShellWait([this](const QString& w) { announcer_.show_message(w); }, this);
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    shortcut01 = new QLabel(central);
    shortcut01->setObjectName(QStringLiteral("shortcut01"));
    shortcut02 = new QLabel(central);
    shortcut02->setObjectName(QStringLiteral("shortcut02"));
    outer->addWidget(shortcut01);
    outer->addWidget(shortcut02);

    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);

    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);
    List1 = new QListWidget(central);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setFont(gothic(8.25));
    List2 = new QListWidget(central);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setFont(gothic(8.25));
    left->addWidget(captionLabel(QStringLiteral("Label2"), QStringLiteral("フォルダー"), central));
    left->addWidget(List1, 1);
    left->addWidget(captionLabel(QStringLiteral("Label3"), QStringLiteral("アドレス帳"), central));
    left->addWidget(List2, 1);
    mic = new QLabel(central);
    mic->setObjectName(QStringLiteral("mic"));
    mic->setFixedSize(32, 32);
    left->addWidget(mic);

    auto* right = new QVBoxLayout;
    columns->addLayout(right, 4);
    auto* panes = new QSplitter(Qt::Vertical, central);
    MSFlexGrid1 = new QTableWidget(central);
    MSFlexGrid1->setObjectName(QStringLiteral("MSFlexGrid1"));
    bodytext = new QTextEdit(central);
    bodytext->setObjectName(QStringLiteral("bodytext"));
    bodytext->setReadOnly(true);
    bodytext->setFont(gothic(9.75));
    panes->addWidget(MSFlexGrid1);
    panes->addWidget(bodytext);
    right->addWidget(panes, 3);

    mailto = new QLineEdit(central);
    mailto->setObjectName(QStringLiteral("mailto"));
    subject = new QLineEdit(central);
    subject->setObjectName(QStringLiteral("subject"));
    body = new QTextEdit(central);
    body->setObjectName(QStringLiteral("body"));
    body->setAcceptRichText(false);
    right->addWidget(captionLabel(QStringLiteral("Label4"), QStringLiteral("送信先"), central));
    right->addWidget(mailto);
    right->addWidget(captionLabel(QStringLiteral("Label5"), QStringLiteral("表題"), central));
    right->addWidget(subject);
    right->addWidget(captionLabel(QStringLiteral("Label6"), QStringLiteral("本文"), central));
    right->addWidget(body, 1);

    cmd_message = new QLabel(central);
    cmd_message->setObjectName(QStringLiteral("cmd_message"));
    cmd_message->setFont(gothic(18, true));
    outer->addWidget(cmd_message);

    setCentralWidget(central);
    // No place has the focus until start-up or the user gives it one, so that
    // F1 at that moment speaks the introduction (help entry 0).
    central->setFocusPolicy(Qt::ClickFocus);
    central->setFocus(Qt::OtherFocusReason);

    focus_.addPlace(MSFlexGrid1, kModeMailList);
    focus_.addPlace(List1, kModeFolderList);
    focus_.addPlace(mailto, kModeAddressOrSubject);
    focus_.addPlace(subject, kModeAddressOrSubject);
    focus_.addPlace(body, kModeBody);
    focus_.addPlace(List2, kModeAddressBook);
}

void MainWindow::buildMenus() {
    for (const MenuSpec& menuSpec : mainMenuTable()) {
        QMenu* menu = menuBar()->addMenu(menuSpec.caption);
        menu->setObjectName(menuSpec.name);
        for (const MenuItemSpec& item : menuSpec.items) {
            QAction* action = item.caption == QLatin1String("-") ? menu->addSeparator()
                                                                 : menu->addAction(item.caption);
            action->setObjectName(item.name);
            action->setShortcut(item.shortcut);
            actions_[item.name] = action;
        }
    }
}

QAction* MainWindow::menuAction(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::connectHandlers() {
    const std::pair<const char*, void (MainWindow::*)()> handlers[] = {
        {"fend", &MainWindow::fend_Click},
        {"help_help", &MainWindow::help_help_Click},
        {"htmlhelp", &MainWindow::htmlhelp_Click},
        {"display_mail_list", &MainWindow::display_mail_list_Click},
        {"move_to_mail_list", &MainWindow::move_to_mail_list_Click},
        {"chose_folder", &MainWindow::chose_folder_Click},
    };
    for (const auto& [name, handler] : handlers) {
        connect(menuAction(QString::fromLatin1(name)), &QAction::triggered, this,
                [this, handler = handler] { guarded([this, handler] { (this->*handler)(); }); });
    }
}

void MainWindow::guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        announcer_.report_error(QString::fromUtf8(e.what()));
    }
}

void MainWindow::loadCharacter() {
    speech::Agent& agent = *services_.agent;
    agent.setConnected(true);
    const auto failure = agent.load(QStringLiteral("genie"), QStringLiteral("genie.acs"));
    // Without its character file the mailer still has to talk: a plain
    // character says why and speaks from then on.
    character_ = failure ? agent.loadDefault(QStringLiteral("genie"))
                         : agent.character(QStringLiteral("genie"));
    announcer_.setCharacter(character_);
    if (failure) {
        announcer_.report_error(*failure);
    }
    character_->setLanguageId(1041);
    character_->setSoundEffectsOn(false);
    character_->show();
    character_->moveTo(400, 300);
}

void MainWindow::Form_Load() {
    // Step 1-2: the store is opened before the window exists (see main), so
    // that a store that cannot be opened ends the program before anything else.
    shortcut01->setText(
        QStringLiteral("[ctrl-A:メール一覧　ctrl-N:メール作成 CTRL-R:返信 CTRL-P:件名"));
    announcer_.shortcut(QStringLiteral(
        "[矢印:選択 ENTER:読む INS:送信者をアドレス帳へ登録 DEL:削除 ESC:返信 SPACE:移動]"));
    // Without a window manager the maximised state alone changes nothing.
    if (const QScreen* screen = this->screen()) {
        setGeometry(screen->availableGeometry());
    }
    setWindowState(Qt::WindowMaximized);
    panesHeight_ = bodytext->height() + MSFlexGrid1->height();
    // focus_color and normal_color are constants; mic repaints by itself.
    mail_ = services_.createMailComponent();
    loadCharacter();
    announcer_.speak(QTime::currentTime().toString(QStringLiteral("hh時mm分")));

    guarded([this] { check_first_run(); });
    QCoreApplication::processEvents();
    guarded([this] { load_help_text(); });
    QCoreApplication::processEvents();

    currentFolder_ = kReceivedFolder;
}

void MainWindow::check_first_run() {
    mailDir_ = QDir(services_.programFolder).filePath(QStringLiteral("mail"));
    if (!QDir().mkpath(mailDir_)) {
        throw StoreError(QStringLiteral("メールフォルダー %1 を作れません").arg(mailDir_));
    }
}

void MainWindow::load_help_text() {
    const QString path = shippedFile(QStringLiteral("help.txt"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        throw StoreError(
            QStringLiteral("ヘルプファイル help.txt を読めません（%1）").arg(file.errorString()));
    }
    QStringList lines;
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        lines << in.readLine();
    }
    help_text_ = parseHelpText(lines);
}

void MainWindow::help_help_Click() {
    announcer_.show_message(QStringLiteral("ヘルプ"));
    const int mode = input_mode();
    if (mode >= 0 && static_cast<std::size_t>(mode) < help_text_.size()) {
        announcer_.speak(help_text_[static_cast<std::size_t>(mode)]);
    }
    announcer_.speak(help_text_[1]);
}

void MainWindow::htmlhelp_Click() {
    const QString manual = shippedFile(QStringLiteral("はじめにお読みください.html"));
    if (!QFile::exists(manual)) {
        throw StoreError(QStringLiteral("説明書 %1 が見つかりません").arg(manual));
    }
    if (!services_.openDocument(manual)) {
        throw StoreError(QStringLiteral("説明書を開くプログラムを起動できません"));
    }
}

void MainWindow::fend_Click() {
    announcer_.speak(QStringLiteral("プログラムを終了します"));
    Sleep(4);
    services_.quit(0);
}

void MainWindow::Sleep(int seconds) {
    InputHold hold;
    mail_->sleep(seconds);
}

void MainWindow::display_mail_list_Click() {
    MSFlexGrid1->setFocus(Qt::ShortcutFocusReason);
}
void MainWindow::move_to_mail_list_Click() {
    MSFlexGrid1->setFocus(Qt::ShortcutFocusReason);
}
void MainWindow::chose_folder_Click() {
    List1->setFocus(Qt::ShortcutFocusReason);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Everything is already in the store: closing ends at once, without speech.
    event->accept();
    services_.quit(0);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Menu shortcuts win over the editing keys of the fields (Ctrl+A, Ctrl+Y...).
    if (event->type() == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget->window() == this) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const QKeySequence pressed(key->keyCombination());
            for (const auto& [name, action] : actions_) {
                if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                    event->ignore();
                    return true;
                }
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace orvane::mailer
