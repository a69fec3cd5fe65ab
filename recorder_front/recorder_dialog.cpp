#include "recorder_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "command_line.h"
#include "console_window.h"
#include "recorder_console.h"
#include "recorder_icon.h"
#include "utf8_cut.h"

namespace trelcapg {
namespace {

// Message boxes with an OK button only, captioned with the application's name.
class MessageBoxPresenter : public MessagePresenter {
  public:
    MessageBoxPresenter(QWidget* parent, QString caption)
        : parent_(parent), caption_(std::move(caption)) {}
    void showMessage(const QString& text) override {
        QString shown = text;
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QMessageBox box(QMessageBox::NoIcon, caption_, shown, QMessageBox::Ok, parent_);
        box.exec();
    }

  private:
    QWidget* parent_;
    QString caption_;
};

// The dialog's sizes are given in dialog units: a quarter of the average character
// width across, an eighth of the line height down.
int DialogUnitsX(const QWidget* widget, int units) {
    return widget->fontMetrics().averageCharWidth() * units / 4;
}

QString DecimalText(int value) {
    return QString::number(value);
}

void ReplaceBoxText(QLineEdit* box, const QString& text) {
    box->selectAll();
    box->insert(text);
}

}  // namespace

std::string BoxTextForRecord(const QString& text, int maxChars) {
    QString line = text;
    for (int i = 0; i < line.size(); ++i) {
        if (line[i] == u'\r' || line[i] == u'\n') {
            line.truncate(i);
            break;
        }
    }
    // Cut at maxChars characters (code points), never inside a surrogate pair.
    int units = 0;
    for (int chars = 0; units < line.size() && chars < maxChars; ++chars) {
        units += (line[units].isHighSurrogate() && units + 1 < line.size()) ? 2 : 1;
    }
    line.truncate(units);
    const QByteArray utf8 = line.toUtf8();
    return std::string(
        CutUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                kTextSlotSize - 1));
}

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報 TrelcapG"));
    setWindowIcon(RecorderIcon());
    auto* icon = new QLabel(this);
    icon->setPixmap(RecorderIcon().pixmap(32, 32));
    auto* version = new QLabel(QStringLiteral("TrelcapG Version 2.8"), this);
    auto* about = new QLabel(QStringLiteral("Records through the console recorder trelcap,\n"
                                            "with its settings kept from one run to the next."),
                             this);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(version, 0, 1);
    layout->addWidget(about, 1, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
    layout->setColumnStretch(1, 1);
}

CRecorderDlg::CRecorderDlg(FrontEndEnvironment environment, QWidget* parent)
    : QDialog(parent), env_(std::move(environment)), console_(std::make_unique<RecorderConsole>()) {
    if (env_.messages == nullptr) {
        ownMessages_ = std::make_unique<MessageBoxPresenter>(this, env_.applicationName);
    }
    messages_ = env_.messages != nullptr ? env_.messages : ownMessages_.get();
    if (!env_.locateRecorder) {
        env_.locateRecorder = DefaultRecorderLocator();
    }
    session_ =
        std::make_unique<RecordingSession>(*console_, static_cast<RecordingView&>(*this),
                                           *messages_, env_.locateRecorder, env_.recorderName);
    setWindowTitle(QStringLiteral("TrelcapG"));
    setWindowIcon(RecorderIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    buildControls();
}

CRecorderDlg::~CRecorderDlg() {
    // The session goes first: it may still kill and reap a recorder on the console.
    session_.reset();
    closeConsole();
}

void CRecorderDlg::buildControls() {
    auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
    auto edit = [this]() { return new QLineEdit(this); };
    auto list = [this]() {
        auto* box = new QComboBox(this);
        box->setFocusPolicy(Qt::StrongFocus);
        return box;
    };

    c_.filePath = edit();
    c_.recParam = list();
    c_.boost = list();
    c_.recTime = edit();
    c_.outputRate = list();
    c_.rateConversion = list();
    c_.fileFormat = list();
    auto* silenceGroup = new QGroupBox(this);
    c_.silenceDetection = new QCheckBox(QStringLiteral("Silence Detection"), silenceGroup);
    auto* vbrGroup = new QGroupBox(this);
    c_.silenceLevel = new QLineEdit(silenceGroup);
    c_.silencePeriod = new QLineEdit(silenceGroup);
    c_.vbrLevel = new QComboBox(vbrGroup);
    c_.vbrLevel->setEditable(true);
    c_.vbrLevel->setInsertPolicy(QComboBox::NoInsert);
    // Only a choice from the list sets the level; typing into the field changes nothing.
    c_.vbrLevel->lineEdit()->setReadOnly(true);
    c_.options = edit();
    c_.record = new QPushButton(kRecStartCaption, this);
    c_.clear = new QPushButton(QStringLiteral("CLEAR"), this);
    c_.exit = new QPushButton(QStringLiteral("EXIT"), this);
    c_.mp3Vbr = new QCheckBox(QStringLiteral("MP3 VBR"), vbrGroup);
    c_.clear->setAutoDefault(true);
    c_.exit->setDefault(true);

    // Narrow fields keep their widths in dialog units.
    const std::pair<QWidget*, int> widths[] = {
        {c_.recTime, 31},        {c_.boost, 22},      {c_.outputRate, 28},
        {c_.rateConversion, 28}, {c_.fileFormat, 36}, {c_.silenceLevel, 21},
        {c_.silencePeriod, 21},  {c_.vbrLevel, 26},   {c_.record, 42}};
    for (const auto& [widget, units] : widths) {
        widget->setMinimumWidth(DialogUnitsX(this, units));
    }
    c_.filePath->setMinimumWidth(DialogUnitsX(this, 98));
    c_.record->setMinimumHeight(c_.record->sizeHint().height() * 2);

    auto* silence = new QGridLayout(silenceGroup);
    silence->addWidget(c_.silenceDetection, 0, 0, 1, 3);
    silence->addWidget(new QLabel(QStringLiteral("Level:"), silenceGroup), 1, 0);
    silence->addWidget(c_.silenceLevel, 1, 1);
    silence->addWidget(new QLabel(QStringLiteral("/1000"), silenceGroup), 1, 2);
    silence->addWidget(new QLabel(QStringLiteral("Period:."), silenceGroup), 2, 0);
    silence->addWidget(c_.silencePeriod, 2, 1);
    silence->addWidget(new QLabel(QStringLiteral("sec"), silenceGroup), 2, 2);

    auto* vbr = new QGridLayout(vbrGroup);
    vbr->addWidget(c_.mp3Vbr, 0, 0, 1, 2);
    vbr->addWidget(new QLabel(QStringLiteral("Level:"), vbrGroup), 1, 0);
    vbr->addWidget(c_.vbrLevel, 1, 1);
    vbr->setRowStretch(2, 1);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label("File Path:"), 0, 0);
    grid->addWidget(c_.filePath, 0, 1, 1, 4);
    grid->addWidget(label("Rec Param:"), 1, 0);
    grid->addWidget(c_.recParam, 1, 1, 1, 4);
    grid->addWidget(label("Rec Time:"), 2, 0);
    grid->addWidget(c_.recTime, 2, 1);
    grid->addWidget(label("sec"), 2, 2);
    grid->addWidget(label("Boost"), 2, 3, Qt::AlignRight);
    grid->addWidget(c_.boost, 2, 4);
    grid->addWidget(label("Output Rate:"), 3, 0);
    grid->addWidget(c_.outputRate, 3, 1);
    grid->addWidget(label("kbps"), 3, 2);
    grid->addWidget(c_.record, 3, 3, 2, 2);
    auto* conversionLabel = label("Sampling rate conversion:");
    conversionLabel->setWordWrap(true);
    grid->addWidget(conversionLabel, 4, 0);
    grid->addWidget(c_.rateConversion, 4, 1);
    grid->addWidget(label("kHz"), 4, 2);
    grid->addWidget(label("File Format:"), 5, 0);
    grid->addWidget(c_.fileFormat, 5, 1);
    grid->addWidget(c_.clear, 5, 3);
    grid->addWidget(c_.exit, 5, 4);
    grid->addWidget(silenceGroup, 6, 0, 1, 3);
    grid->addWidget(vbrGroup, 6, 3, 1, 2);
    grid->addWidget(label("Options:"), 7, 0);
    grid->addWidget(c_.options, 7, 1, 1, 4);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // The tab order.
    const QWidget* order[] = {
        c_.filePath,     c_.recParam,       c_.boost,      c_.recTime,
        c_.outputRate,   c_.rateConversion, c_.fileFormat, c_.silenceDetection,
        c_.silenceLevel, c_.silencePeriod,  c_.vbrLevel,   c_.options,
        c_.record,       c_.clear,          c_.exit,       c_.mp3Vbr};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    }

    for (QLineEdit* box :
         {c_.filePath, c_.recTime, c_.silenceLevel, c_.silencePeriod, c_.options}) {
        box->installEventFilter(this);
    }
    connect(c_.recParam, &QComboBox::activated, this,
            [this](int index) { settings_.recParam = index + 1; });
    connect(c_.boost, &QComboBox::activated, this, [this](int index) { settings_.boost = index; });
    connect(c_.outputRate, &QComboBox::activated, this,
            [this](int index) { settings_.outputRate = index; });
    connect(c_.rateConversion, &QComboBox::activated, this,
            [this](int index) { settings_.rateConversion = index; });
    connect(c_.fileFormat, &QComboBox::activated, this, [this] { applyFormatRule(); });
    connect(c_.vbrLevel, &QComboBox::activated, this,
            [this](int index) { settings_.vbrLevel = index; });
    connect(c_.silenceDetection, &QCheckBox::clicked, this, [this] { applySilenceRule(); });
    connect(c_.mp3Vbr, &QCheckBox::clicked, this, [this] { applyVbrRule(); });
    connect(c_.record, &QPushButton::clicked, this, &CRecorderDlg::OnRecord);
    connect(c_.clear, &QPushButton::clicked, this, &CRecorderDlg::OnClear);
    connect(c_.exit, &QPushButton::clicked, this, &CRecorderDlg::accept);
}

void CRecorderDlg::fillLists() {
    for (const std::string_view name : kRecParamNames) {
        c_.recParam->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    for (int i = 0; i < kBoostCount; ++i) {
        c_.boost->addItem(DecimalText(i));
    }
    for (const int kbps : kOutputRates) {
        c_.outputRate->addItem(DecimalText(kbps));
    }
    for (const std::string_view rate : kRateConversions) {
        c_.rateConversion->addItem(
            QString::fromLatin1(rate.data(), static_cast<qsizetype>(rate.size())));
    }
    for (const std::string_view name : kFileFormatNames) {
        c_.fileFormat->addItem(
            QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    }
    for (int i = 0; i < kVbrLevelCount; ++i) {
        c_.vbrLevel->addItem(DecimalText(i));
    }
}

bool CRecorderDlg::OnInitDialog() {
    fillLists();
    settings_ = LoadSettings(env_.settingsPath);
    ShowSettings();
    openConsole();
    if (!console_->isOpen()) {
        messages_->showMessage(QStringLiteral("AllocConsole failed\n"));
        return false;
    }
    c_.filePath->setFocus();
    return true;
}

void CRecorderDlg::openConsole() {
    if (!console_->open()) {
        return;
    }
    consoleWindow_ = std::make_unique<ConsoleWindow>(
        *console_, QStringLiteral("Output - ") + env_.applicationName);
    consoleWindow_->setWindowIcon(RecorderIcon());
    connect(consoleWindow_.get(), &ConsoleWindow::closeRequested, this, [this] {
        // Ends the front end at once, without the dialog's ending: nothing is saved.
        session_->hangUp();
        if (env_.endProcess) {
            env_.endProcess();
        }
    });
    consoleWindow_->show();
    // Take the foreground back from the new console window.
    QTimer::singleShot(10, this, [this] {
        raise();
        activateWindow();
    });
}

void CRecorderDlg::closeConsole() {
    if (consoleWindow_) {
        consoleWindow_->disconnect(this);
        consoleWindow_.reset();
    }
    console_->close();
}

void CRecorderDlg::OnRecord() {
    session_->OnRecord(settings_);
}

void CRecorderDlg::OnClear() {
    settings_.SetDefaults();
    ShowSettings();
}

void CRecorderDlg::ShowSettings() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             c_.exit, c_.clear, c_.filePath, c_.recParam, c_.boost, c_.recTime, c_.outputRate,
             c_.rateConversion, c_.fileFormat, c_.silenceDetection, c_.options}) {
        w->setEnabled(true);
    }
    ReplaceBoxText(c_.filePath, QString::fromStdString(settings_.filePath));
    c_.recParam->setCurrentIndex(settings_.recParam - 1);
    c_.boost->setCurrentIndex(settings_.boost);
    c_.outputRate->setCurrentIndex(settings_.outputRate);
    c_.rateConversion->setCurrentIndex(settings_.rateConversion);
    c_.fileFormat->setCurrentIndex(settings_.fileFormat);
    ReplaceBoxText(c_.recTime, DecimalText(settings_.recTime));
    applyFormatRule();
    c_.silenceDetection->setChecked(settings_.silenceDetection == 1);
    applySilenceRule();
    ReplaceBoxText(c_.silenceLevel, DecimalText(settings_.silenceLevel));
    ReplaceBoxText(c_.silencePeriod, DecimalText(settings_.silencePeriod));
    c_.mp3Vbr->setChecked(settings_.mp3Vbr == 1);
    applyVbrRule();
    c_.vbrLevel->setCurrentIndex(settings_.vbrLevel);
    ReplaceBoxText(c_.options, QString::fromStdString(settings_.options));
}

void CRecorderDlg::DisableControls() {
    for (QWidget* w : std::initializer_list<QWidget*>{
             c_.exit, c_.clear, c_.filePath, c_.recParam, c_.boost, c_.recTime, c_.outputRate,
             c_.rateConversion, c_.fileFormat, c_.silenceDetection, c_.silenceLevel,
             c_.silencePeriod, c_.mp3Vbr, c_.vbrLevel, c_.options}) {
        w->setEnabled(false);
    }
}

void CRecorderDlg::setRecordButtonCaption(const QString& caption) {
    c_.record->setText(caption);
}

void CRecorderDlg::setRecordButtonEnabled(bool enabled) {
    c_.record->setEnabled(enabled);
}

void CRecorderDlg::applyFormatRule() {
    settings_.fileFormat = c_.fileFormat->currentIndex();
    switch (settings_.fileFormat) {
        case kGogo:
        case kLame:
            c_.outputRate->setEnabled(true);
            c_.mp3Vbr->setEnabled(true);
            c_.vbrLevel->setEnabled(settings_.mp3Vbr == 1);
            break;
        case kWma:
            c_.outputRate->setEnabled(true);
            c_.mp3Vbr->setEnabled(false);
            c_.vbrLevel->setEnabled(false);
            break;
        case kWav:
            c_.outputRate->setEnabled(false);
            c_.mp3Vbr->setEnabled(false);
            c_.vbrLevel->setEnabled(false);
            break;
        default:
            break;
    }
}

void CRecorderDlg::applySilenceRule() {
    const bool on = c_.silenceDetection->isChecked();
    settings_.silenceDetection = on ? 1 : 0;
    c_.silenceLevel->setEnabled(on);
    c_.silencePeriod->setEnabled(on);
}

void CRecorderDlg::applyVbrRule() {
    settings_.mp3Vbr = c_.mp3Vbr->isChecked() ? 1 : 0;
    if (settings_.fileFormat == kGogo || settings_.fileFormat == kLame) {
        c_.mp3Vbr->setEnabled(true);
        c_.vbrLevel->setEnabled(settings_.mp3Vbr == 1);
    } else {
        c_.mp3Vbr->setEnabled(false);
    }
}

void CRecorderDlg::commitBox(QLineEdit* box) {
    if (box == c_.filePath) {
        commitText(box, settings_.filePath, kFilePathMaxChars);
    } else if (box == c_.options) {
        commitText(box, settings_.options, kOptionsMaxChars);
    } else if (box == c_.recTime) {
        commitNumber(box, settings_.recTime, kRecTimeMin, kRecTimeMax);
    } else if (box == c_.silenceLevel) {
        commitNumber(box, settings_.silenceLevel, kSilenceLevelMin, kSilenceLevelMax);
    } else if (box == c_.silencePeriod) {
        commitNumber(box, settings_.silencePeriod, kSilencePeriodMin, kSilencePeriodMax);
    }
}

void CRecorderDlg::commitNumber(QLineEdit* box, std::int32_t& field, int min, int max) {
    if (const auto value = CheckNumber(box->text().toStdString(), min, max)) {
        field = *value;
    } else {
        ReplaceBoxText(box, DecimalText(field));
    }
}

void CRecorderDlg::commitText(QLineEdit* box, std::string& field, int maxChars) {
    field = BoxTextForRecord(box->text(), maxChars);
}

bool CRecorderDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        commitBox(qobject_cast<QLineEdit*>(watched));
    }
    return QDialog::eventFilter(watched, event);
}

void CRecorderDlg::accept() {
    if (session_->recState() != RecState::Idle) {
        QApplication::beep();
        return;
    }
    // A box being edited when EXIT comes by the keyboard still hands over its text.
    if (auto* box = qobject_cast<QLineEdit*>(focusWidget())) {
        commitBox(box);
    }
    QDialog::accept();
    closeConsole();
    // A settings file that cannot be written is passed over in silence: the next run
    // starts from the old record, or from the defaults.
    (void)SaveSettings(env_.settingsPath, settings_);
}

void CRecorderDlg::reject() {
    QApplication::beep();
}

void CRecorderDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    QApplication::beep();
}

QString CRecorderDlg::AboutEntryText() {
    return QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(TrelcapG) (&A)...");
}

void CRecorderDlg::showAbout() {
    CAboutDlg about(this);
    about.exec();
}

void CRecorderDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(AboutEntryText());
    if (menu.exec(event->globalPos()) == about) {
        showAbout();
    }
}

}  // namespace trelcapg
