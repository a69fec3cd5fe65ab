#include "main_window.h"

#include "address_book.h"
#include "agent.h"
#include "character.h"
#include "command_table.h"
#include "compose_fields.h"
#include "folders.h"
#include "input_hold.h"
#include "mail_actions.h"
#include "mail_component.h"
#include "mail_list.h"
#include "mail_store.h"
#include "main_commands.h"
#include "news.h"
#include "news_component.h"
#include "private_files.h"
#include "program_folder.h"
#include "receiving.h"
#include "reply.h"
#include "sending.h"
#include "settings_places.h"
#include "shell_wait.h"
#include "splitter.h"
#include "store_boundary.h"
#include "voice_recording.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QScreen>
#include <QTableView>
#include <QTextEdit>
#include <QTextStream>
#include <QTime>
#include <QVBoxLayout>

namespace orvane::mailer {

namespace {

const QString kGothic = QStringLiteral("ＭＳ ゴシック");

QFont gothic(double points, bool bold = false) {
    QFont font(kGothic);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QLabel* captionLabel(const QString& name, const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setFont(gothic(9.75, true));
    label->setBuddy(buddy);
    return label;
}

// Every control carries its object name and the name a screen reader says.
template <typename W>
W* control(W* widget, const char* objectName, const QString& accessibleName) {
    widget->setObjectName(QString::fromLatin1(objectName));
    widget->setAccessibleName(accessibleName);
    return widget;
}

}  // namespace

MainWindow::MainWindow(MailerServices services)
    : services_(std::move(services)), announcer_(nullptr, nullptr) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Orvane Mailer V 2.0"));
    setAccessibleName(windowTitle());
    setFont(gothic(11.25));
    state_.programFolder = services_.programFolder;
    buildControls();
    announcer_ = Announcer(cmd_message, shortcut02);
    shellWait_ = new ShellWait([this](const QString& w) { announcer_.show_message(w); }, this);
    buildPlaces();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    shortcut01 = control(new QLabel(central), "shortcut01", QStringLiteral("ショートカットキー"));
    shortcut02 = control(new QLabel(central), "shortcut02", QStringLiteral("キーの案内"));
    outer->addWidget(shortcut01);
    outer->addWidget(shortcut02);

    auto* columns = new QHBoxLayout;
    outer->addLayout(columns, 1);

    auto* left = new QVBoxLayout;
    columns->addLayout(left, 1);
    List1 = control(new QListWidget(central), "List1", QStringLiteral("フォルダー"));
    List1->setFont(gothic(8.25));
    List2 = control(new QListWidget(central), "List2", QStringLiteral("アドレス帳"));
    List2->setFont(gothic(8.25));
    left->addWidget(
        captionLabel(QStringLiteral("Label2"), QStringLiteral("フォルダー"), List1, central));
    left->addWidget(List1, 1);
    left->addWidget(
        captionLabel(QStringLiteral("Label3"), QStringLiteral("アドレス帳"), List2, central));
    left->addWidget(List2, 1);
    mic = control(new QLabel(central), "mic", QStringLiteral("録音中の表示"));
    mic->setFixedSize(32, 32);
    left->addWidget(mic);

    auto* right = new QVBoxLayout;
    columns->addLayout(right, 4);
    // The list and the body view are laid out by the splitter between them.
    auto* panes = new QWidget(central);
    panes->setObjectName(QStringLiteral("panes"));
    panes->setAccessibleName(QStringLiteral("メール一覧と本文"));
    MSFlexGrid1 = control(new QTableView(panes), "MSFlexGrid1", QStringLiteral("メール一覧"));
    bodytext = control(new QTextEdit(panes), "bodytext", QStringLiteral("メールの本文"));
    bodytext->setReadOnly(true);
    bodytext->setFont(gothic(9.75));
    right->addWidget(panes, 3);

    mailto = control(new QLineEdit(central), "mailto", QStringLiteral("送信先"));
    subject = control(new QLineEdit(central), "subject", QStringLiteral("表題"));
    body = control(new QTextEdit(central), "body", QStringLiteral("本文"));
    body->setAcceptRichText(false);
    right->addWidget(
        captionLabel(QStringLiteral("Label4"), QStringLiteral("送信先"), mailto, central));
    right->addWidget(mailto);
    right->addWidget(
        captionLabel(QStringLiteral("Label5"), QStringLiteral("表題"), subject, central));
    right->addWidget(subject);
    right->addWidget(captionLabel(QStringLiteral("Label6"), QStringLiteral("本文"), body, central));
    right->addWidget(body, 1);

    cmd_message = control(new QLabel(central), "cmd_message", QStringLiteral("状態"));
    cmd_message->setFont(gothic(18, true));
    outer->addWidget(cmd_message);

    setCentralWidget(central);
    // No place has the focus until start-up or the user gives it one, so that
    // F1 at that moment speaks the introduction (help entry 0).
    central->setFocusPolicy(Qt::ClickFocus);
    central->setFocus(Qt::OtherFocusReason);
}

void MainWindow::buildPlaces() {
    MailStore& store = *services_.store;
    mail_ = services_.createMailComponent();
    news_ = services_.createNewsComponent();
    newsReading_ = std::make_unique<NewsReading>(store, *news_, announcer_);
    splitter_ = new Splitter(MSFlexGrid1, bodytext, announcer_);
    settings_ = services_.createSettings(store, announcer_, state_, this);
    mailList_ = std::make_unique<MailList>(store, announcer_, state_, MSFlexGrid1);
    receiving_ = std::make_unique<Receiving>(store, announcer_, state_, *mail_,
                                             [this](int seconds) { Sleep(seconds); });

    compose_ = std::make_unique<ComposeFields>(store, announcer_, state_, focus_,
                                               ComposeWidgets{mailto, subject, body});
    addressBook_ = std::make_unique<AddressBook>(store, announcer_, focus_, List2, *compose_);
    sending_ = std::make_unique<Sending>(announcer_, state_, *mail_);
    voiceRecording_ = std::make_unique<VoiceRecording>(VoiceRecording::Parts{
        .announcer = announcer_,
        .state = state_,
        // The character is loaded later, at start-up.
        .beep = [this] { beepThrough(*services_.agent, character_)(); },
        .pause = [this](int seconds) { Sleep(seconds); },
        .shellWait = *shellWait_,
        .mic = mic,
        .executableFolder = QCoreApplication::applicationDirPath(),
    });
    compose_->setRecorder([this] { voiceRecording_->record_voice(); });
    reply_ = std::make_unique<Reply>(announcer_, *compose_, [this]() -> std::optional<ListedMail> {
        const std::optional<int> row = mailList_->currentMailRow();
        if (!row) {
            return std::nullopt;
        }
        ListedMail listed{mailList_->cellText(*row, 1), mailList_->cellText(*row, 2)};
        mailList_->setCurrentCell(*row, 1);
        return listed;
    });

    folders_ = std::make_unique<Folders>(store, announcer_, state_, focus_, List1, *mailList_);
    mailActions_ = std::make_unique<MailActions>(
        store, announcer_, state_, *mailList_, MailActionWidgets{MSFlexGrid1, bodytext},
        MailActionHooks{
            [this](int seconds) { Sleep(seconds); },
            [this](const QString& path) -> Expected<void> {
                if (character_ == nullptr) {
                    return Failure{FailureKind::Device, QStringLiteral("音声を出せません")};
                }
                return character_->playMp3(path);
            },
            services_.openAttachment, [this] { addressBook_->load_address_list(); },
            [this] { folders_->chose_folder_Click(); }});

    commands_ = std::make_unique<CommandTable>(
        announcer_, mainMenus(),
        mainCommands({*this, *mailList_, *receiving_, *settings_, *compose_, *addressBook_,
                      *sending_, *reply_, *mailActions_, *folders_, state_, announcer_}));
    commands_->install(this, menuBar());
    compose_->onBodyKey([this](BodyKey key) {
        switch (key) {
            case BodyKey::Insert:
                commands_->run(QStringLiteral("body_insert"));
                break;
            case BodyKey::Enter:
                commands_->run(QStringLiteral("body_enter"));
                break;
            case BodyKey::Escape:
                commands_->run(QStringLiteral("body_escape"));
                break;
        }
    });
    mailActions_->onKey([this](MailListKey key) { commands_->run(commandName(key)); });
    folders_->onKey([this](FolderListKey key) { commands_->run(commandName(key)); });
    addressBook_->onKey([this](AddressBookKey key) {
        switch (key) {
            case AddressBookKey::Enter:
                commands_->run(QStringLiteral("List2_enter"));
                break;
            case AddressBookKey::Delete:
                commands_->run(QStringLiteral("List2_delete"));
                break;
            case AddressBookKey::Escape:
                commands_->run(QStringLiteral("List2_escape"));
                break;
        }
    });

    // The compose fields, the address book and the folder list register their own widgets.
    focus_.addPlace(MSFlexGrid1, kModeMailList, [this] { mailList_->gotFocus(); });
    commands_->attachPlace(Place::MailList, MSFlexGrid1);
    commands_->attachPlace(Place::FolderList, List1);
    commands_->attachPlace(Place::ComposeFields, mailto);
    commands_->attachPlace(Place::ComposeFields, subject);
    commands_->attachPlace(Place::Body, body);
    commands_->attachPlace(Place::AddressBook, List2);
}

int MainWindow::panes_height() const {
    return splitter_->panes_height();
}

QAction* MainWindow::menuAction(const QString& name) const {
    return commands_->action(name);
}

void MainWindow::loadCharacter() {
    speech::Agent& agent = *services_.agent;
    agent.setConnected(true);
    const auto loaded = agent.load(QStringLiteral("genie"), QStringLiteral("genie.acs"));
    // Without its character file the mailer still has to talk: a plain
    // character says why and speaks from then on.
    character_ = loaded ? *loaded : agent.loadDefault(QStringLiteral("genie"));
    announcer_.setCharacter(character_);
    if (!loaded) {
        announcer_.report_error(loaded.failure().reason);
    }
    character_->setLanguageId(1041);
    character_->setSoundEffectsOn(false);
    character_->show();
    character_->moveTo(400, 300);
}

void MainWindow::Form_Load() {
    // The store is opened before the window exists (see main), so that a
    // store that cannot be opened ends the program before anything else.
    shortcut01->setText(
        QStringLiteral("[ctrl-A:メール一覧　ctrl-N:メール作成 CTRL-R:返信 CTRL-P:件名"));
    announcer_.shortcut(QStringLiteral(
        "[矢印:選択 ENTER:読む INS:送信者をアドレス帳へ登録 DEL:削除 ESC:返信 SPACE:移動]"));
    // Without a window manager the maximised state alone changes nothing.
    if (const QScreen* screen = this->screen()) {
        setGeometry(screen->availableGeometry());
    }
    setWindowState(Qt::WindowMaximized);
    // panes_height is the splitter's: it follows the panes' container, which
    // the maximised window sizes.
    // focus_color and normal_color are constants; mic repaints by itself; the
    // mail component was made with the window.
    loadCharacter();
    announcer_.speak(QTime::currentTime().toString(QStringLiteral("hh時mm分")));

    // Each step completes before the next; one that fails is shown and
    // spoken, and start-up goes on.
    const auto step = [this](const std::function<void()>& work) {
        reportStoreFailures(announcer_, work);
        QCoreApplication::processEvents();
    };
    step([this] { check_first_run(); });
    step([this] { load_help_text(); });
    step([this] { mailList_->init_mail_grid(); });
    step([this] { folders_->read_folders_from_db(); });
    step([this] { addressBook_->load_address_list(); });
    step([this] { newsReading_->read_news(); });
    reportStoreFailures(announcer_, [this] {
        receiving_->count_new_mail();
        if (state_.pending_mail_count > 0) {
            receiving_->receive_after_check();
        } else {
            receiving_->store_unstored_files();
        }
    });
    state_.current_folder = kReceivedFolder;
    reportStoreFailures(announcer_, [this] { mailList_->read_mail_from_db(); });
    reportStoreFailures(announcer_, [this] { mailList_->speak_unread_mail_Click(); });
    mailList_->setCurrentCell(0, 1);
}

void MainWindow::check_first_run() {
    if (!settings_->load_accounts()) {
        announcer_.speak(
            QStringLiteral("はじめてのご使用です　メールアカウントの設定を行ってください"));
        Sleep(4);
        settings_->showFirstUse();
    }
    state_.mail_dir = QDir(services_.programFolder).filePath(QStringLiteral("mail"));
    restrictToOwner();
    settings_->read_options();
    settings_->choose_current_account();
}

void MainWindow::restrictToOwner() {
    // The store and the mail folder hold the user's mail and passwords.
    if (Expected<void> made = makePrivateFolder(state_.mail_dir); !made) {
        announcer_.report(made.failure());
    }
    for (const QString& file : MailStore::storeFiles(services_.store->path())) {
        if (Expected<void> kept = keepPrivate(file); !kept) {
            announcer_.report(kept.failure());
        }
    }
}

void MainWindow::load_help_text() {
    const QString path = shippedFile(QStringLiteral("help.txt"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        announcer_.report_error(
            QStringLiteral("ヘルプファイル help.txt を読めません（%1）").arg(file.errorString()));
        return;
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
        announcer_.report_error(QStringLiteral("説明書 %1 が見つかりません").arg(manual));
    } else if (!services_.openDocument(manual)) {
        announcer_.report_error(QStringLiteral("説明書を開くプログラムを起動できません"));
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

void MainWindow::closeEvent(QCloseEvent* event) {
    // Everything is already in the store: closing ends at once, without speech.
    event->accept();
    services_.quit(0);
}

}  // namespace orvane::mailer
