#include "vantelmo.h"

#include "checker_icon.h"
#include "program_folder.h"
#include "settings_file.h"
#include "settings_form.h"
#include "tray.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

namespace orvane::mailcheck {
namespace {

constexpr int kTickMs = 30000;

}  // namespace

Vantelmo::Vantelmo(CheckerServices services)
    : services_(std::move(services)),
      voice_(*services_.agent),
      announcer_(voice_),
      mailFolder_(ensureMailFolder(services_.programFolder)) {
    setObjectName(QStringLiteral("vantelmo"));
    setWindowTitle(QStringLiteral("Orvane_音声メールチェック"));
    setWindowIcon(checkerIcon());
    buildControls();
    buildMenus();

    settings_ = std::make_unique<SettingsForm>(
        SettingsForm::Boxes{Text1[0], Text1[1], Text1[2], Text1[3]},
        QDir(services_.programFolder).filePath(QString::fromLatin1(kSettingsFileName)), announcer_);
    const QString mailDir =
        mailFolder_ ? *mailFolder_ : QDir(services_.programFolder).filePath(QStringLiteral("mail"));
    polling_ =
        std::make_unique<Polling>(*services_.mail, voice_, announcer_, mailDir, services_.polling);
    tray_ = std::make_unique<Tray>(*services_.notificationArea, *this, announcer_, checkerIcon());

    connect(settings_.get(), &SettingsForm::applied, this,
            [this](const CheckerSettings& settings, double tickLimit) {
                polling_->setLogin({settings.pop, settings.account, settings.password});
                polling_->setTickLimit(tickLimit);
            });
    connect(&announcer_, &Announcer::shown, noticeLine, &QLabel::setText);
    connect(polling_.get(), &Polling::tickCountChanged, Label2,
            [this](int count) { Label2->setText(QString::number(count)); });
    connect(&Timer1, &QTimer::timeout, polling_.get(), &Polling::Timer1_Timer);
    connect(tray_.get(), &Tray::endRequested, this, &Vantelmo::fend);
    connect(tray_.get(), &Tray::checkNowRequested, polling_.get(), &Polling::check_mail);
    connect(Command1, &QPushButton::clicked, this, &Vantelmo::Command1_Click);
    connect(Combo1, &QComboBox::textActivated, this, &Vantelmo::Combo1_Click);
}

Vantelmo::~Vantelmo() = default;

void Vantelmo::buildControls() {
    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    const char* captions[] = {"pop", "account", "password", "メール検査周期(分)", "キャラクタ"};
    for (int i = 0; i < 5; ++i) {
        Label1[i] = new QLabel(QString::fromUtf8(captions[i]), central);
        Label1[i]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        grid->addWidget(Label1[i], i, 0);
    }
    for (int i = 0; i < 4; ++i) {
        Text1[i] = new QLineEdit(central);
        Text1[i]->setObjectName(QStringLiteral("Text1_%1").arg(i));
        Text1[i]->setAccessibleName(Label1[i]->text());
        Label1[i]->setBuddy(Text1[i]);
        grid->addWidget(Text1[i], i, 1, 1, i == 3 ? 1 : 2);
    }
    Text1[3]->setText(QStringLiteral("10"));
    Text1[3]->setMaximumWidth(60);
    Command1 = new QPushButton(QStringLiteral("保存"), central);
    Command1->setObjectName(QStringLiteral("Command1"));
    grid->addWidget(Command1, 3, 2, Qt::AlignRight);

    Combo1 = new QComboBox(central);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems({QStringLiteral("MAX"), QStringLiteral("Genie"), QStringLiteral("Merlin"),
                      QStringLiteral("Wabbit")});
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(QStringLiteral("選択してください"));
    Combo1->setAccessibleName(Label1[4]->text());
    Label1[4]->setBuddy(Combo1);
    grid->addWidget(Combo1, 4, 1, 1, 2);

    Label2 = new QLabel(central);
    Label2->setObjectName(QStringLiteral("Label2"));
    grid->addWidget(Label2, 5, 0, 1, 3);
    noticeLine = new QLabel(central);
    noticeLine->setObjectName(QStringLiteral("noticeLine"));
    noticeLine->setWordWrap(true);
    grid->addWidget(noticeLine, 6, 0, 1, 3);
    grid->setRowStretch(7, 1);
    setCentralWidget(central);
    resize(360, 300);
}

void Vantelmo::buildMenus() {
    QMenu* f = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    f->setObjectName(QStringLiteral("f"));
    QAction* end = f->addAction(QStringLiteral("終了(&X)"), this, &Vantelmo::fend);
    end->setObjectName(QStringLiteral("fend"));

    QMenu* e = menuBar()->addMenu(QStringLiteral("編集(&E)"));
    e->setObjectName(QStringLiteral("e"));
    QAction* intoTray =
        e->addAction(QStringLiteral("タスクトレイへ入れる(&T)"), this, &Vantelmo::AddIcon);
    intoTray->setObjectName(QStringLiteral("into_tasktry"));
    intoTray->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

    QMenu* h = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    h->setObjectName(QStringLiteral("h"));
}

void Vantelmo::init() {
    const Expected<CheckerSettings> read = settings_->read_ini();
    Timer1.setInterval(kTickMs);
    if (settings_->character().isEmpty() && !read) {
        // First start: speak with the default character until one is chosen.
        settings_->setCharacter(QString::fromLatin1(AgentVoice::kDefaultCharacter));
    }
    if (Expected<void> loaded = voice_.useCharacter(settings_->character()); !loaded) {
        announcer_.notify(loaded.failure().reason);
    }
    if (!mailFolder_) {
        announcer_.notify(mailFolder_.failure().reason);
    }
    if (!read) {
        settings_->askForSettings(read.failure());
    }
}

void Vantelmo::Form_Load() {
    init();
    AddIcon();
    if (polling_->hasLogin()) {
        polling_->check_mail();
    } else {
        showWindow();
    }
}

void Vantelmo::AddIcon() {
    if (!Timer1.isActive()) {
        Timer1.start();
    }
    tray_->AddIcon();
}

void Vantelmo::DeleteIcon() {
    tray_->DeleteIcon();
}

void Vantelmo::Combo1_Click(const QString& name) {
    settings_->setCharacter(name);
    if (Expected<void> loaded = voice_.useCharacter(name); !loaded) {
        announcer_.notify(loaded.failure().reason);
        return;
    }
    // Heard in the new voice at once.
    announcer_.notify(QStringLiteral("キャラクタを %1 にしました").arg(name));
}

void Vantelmo::Command1_Click() {
    (void)settings_->save_ini();
}

void Vantelmo::fend() {
    if (ended_) {
        return;
    }
    ended_ = true;
    DeleteIcon();
    services_.quit(0);
}

void Vantelmo::closeEvent(QCloseEvent* event) {
    fend();
    event->accept();
}

void Vantelmo::showWindow() {
    show();
    raise();
    activateWindow();
}

}  // namespace orvane::mailcheck
