#include "options_dialog.h"

#include "announcer.h"
#include "spoken_focus.h"
#include "twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QUrl>

namespace orvane::mailer {

namespace {

const QString kCheckedText = QStringLiteral("チェックあり");
const QString kUncheckedText = QStringLiteral("チェックなし");

template <typename W>
W* control(const char* name, const QString& accessibleName, QWidget* parent) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setAccessibleName(accessibleName);
    return w;
}

QGroupBox* frame(const char* name, const QString& caption, QWidget* page) {
    auto* f = control<QGroupBox>(name, caption, page);
    f->setTitle(caption);
    return f;
}

}  // namespace

OptionsDialog::OptionsDialog(const Announcer& announcer, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      announcer_(announcer) {
    setObjectName(QStringLiteral("Options"));
    setWindowTitle(QStringLiteral("ｵﾌﾟｼｮﾝ"));
    setAccessibleName(QStringLiteral("オプション"));
    setFixedSize(twipsToPixelsX(6150, this), twipsToPixelsY(4920, this));
    spoken_ = new SpokenFocus(announcer, this);

    tbsOptions = control<QTabWidget>("tbsOptions", QStringLiteral("オプションのタブ"), this);
    tbsOptions->setGeometry(twipsRect(120, 120, 5895, 4245, this));
    const char* const pageNames[] = {"picOptions_0", "picOptions_1", "picOptions_2"};
    const QString captions[] = {QStringLiteral("署名"), QStringLiteral("最新ニュース"),
                                QStringLiteral("音声録音")};
    for (int i = 0; i < kPageCount; ++i) {
        QWidget* page = control<QWidget>(pageNames[i], captions[i], tbsOptions);
        picOptions[static_cast<std::size_t>(i)] = page;
        tbsOptions->addTab(page, captions[i]);
    }
    buildSignaturePage();
    buildNewsPage();
    buildRecordingPage();

    cmdOK = control<QPushButton>("cmdOK", QStringLiteral("OK"), this);
    cmdOK->setText(QStringLiteral("OK"));
    cmdOK->setGeometry(twipsRect(3720, 4455, 1095, 375, this));
    cmdOK->setDefault(true);
    cmdCancel = control<QPushButton>("cmdCancel", QStringLiteral("キャンセル"), this);
    cmdCancel->setText(QStringLiteral("ｷｬﾝｾﾙ"));
    cmdCancel->setGeometry(twipsRect(4920, 4440, 1095, 375, this));

    QTabBar* tabs = tbsOptions->tabBar();
    tabs->setAccessibleName(tbsOptions->accessibleName());
    spoken_->add(tabs, [this] {
        return tbsOptions->tabText(tbsOptions->currentIndex()) + QStringLiteral("　タブ");
    });
    spoken_->add(cmdOK, QStringLiteral("OK"));
    spoken_->add(cmdCancel, QStringLiteral("キャンセル"));
    connect(tbsOptions, &QTabWidget::currentChanged, this,
            [this](int index) { announcer_.speak(tbsOptions->tabText(index)); });

    QWidget::setTabOrder(tabs, signature1);
    QWidget::setTabOrder(signature1, newsCheck1);
    QWidget::setTabOrder(newsCheck1, newsSite1);
    QWidget::setTabOrder(newsSite1, rec_sec);
    QWidget::setTabOrder(rec_sec, cmdOK);
    QWidget::setTabOrder(cmdOK, cmdCancel);

    qApp->installEventFilter(this);
}

OptionsDialog::~OptionsDialog() {
    qApp->removeEventFilter(this);
}

void OptionsDialog::buildSignaturePage() {
    QWidget* page = picOptions[0];
    fraSample1 = frame("fraSample1", QStringLiteral("署名"), page);
    fraSample1->setGeometry(twipsRect(840, 600, 4095, 2505, this));
    signature1 = control<QPlainTextEdit>("signature1", QStringLiteral("署名"), fraSample1);
    signature1->setGeometry(twipsRect(240, 360, 3495, 1815, this));
    // Tab leaves the box, as in every other field; a tab character is not
    // something a signature needs.
    signature1->setTabChangesFocus(true);
    spoken_->add(signature1, QStringLiteral("署名"));
}

void OptionsDialog::buildNewsPage() {
    QWidget* page = picOptions[1];
    fraSample2 = frame("fraSample2", QString(), page);
    fraSample2->setGeometry(twipsRect(645, 840, 4815, 1785, this));
    newsCheck1 = control<QCheckBox>("newsCheck1", QStringLiteral("起動時に最新を読む"), fraSample2);
    newsCheck1->setText(newsCheck1->accessibleName());
    newsCheck1->setGeometry(twipsRect(960, 720, 2295, 375, this));
    newsSiteLabel = control<QLabel>("newsSiteLabel", QStringLiteral("サイト"), fraSample2);
    newsSiteLabel->setText(newsSiteLabel->accessibleName());
    newsSiteLabel->setGeometry(twipsRect(240, 1200, 720, 375, this));
    newsSite1 = control<QLineEdit>("newsSite1", QStringLiteral("ニュースのサイト"), fraSample2);
    newsSite1->setGeometry(twipsRect(960, 1200, 3615, 375, this));
    newsSiteLabel->setBuddy(newsSite1);

    spoken_->add(newsCheck1, [this] {
        return newsCheck1->text() + QStringLiteral("　") +
               (newsCheck1->isChecked() ? kCheckedText : kUncheckedText);
    });
    connect(newsCheck1, &QCheckBox::toggled, this,
            [this](bool on) { announcer_.speak(on ? kCheckedText : kUncheckedText); });
    spoken_->add(newsSite1, newsSite1->accessibleName());
    // The frame is captioned with the host of the site.
    auto caption = [this](const QString& site) {
        const QString host = siteHost(site);
        fraSample2->setTitle(host);
        fraSample2->setAccessibleName(QStringLiteral("最新ニュース　") + host);
    };
    connect(newsSite1, &QLineEdit::textChanged, this, caption);
    caption(QString());
}

void OptionsDialog::buildRecordingPage() {
    QWidget* page = picOptions[2];
    fraSample3 = frame("fraSample3", QStringLiteral("録音時間（秒）"), page);
    fraSample3->setGeometry(twipsRect(600, 960, 4695, 1425, this));
    rec_sec = control<QLineEdit>("rec_sec", QStringLiteral("録音時間（秒）"), fraSample3);
    rec_sec->setGeometry(twipsRect(1920, 600, 735, 375, this));
    QFont gothic = rec_sec->font();
    gothic.setFamily(QStringLiteral("ＭＳ ゴシック"));
    rec_sec->setFont(gothic);
    rec_sec->setText(QStringLiteral("30"));
    rec_message = control<QLabel>("rec_message", QStringLiteral("メッセージ"), fraSample3);
    rec_message->setGeometry(twipsRect(120, 1000, 4455, 375, this));
    rec_message->setWordWrap(true);
    spoken_->add(rec_sec, QStringLiteral("録音時間　秒"));
}

QWidget* OptionsDialog::firstControlOf(int page) const {
    switch (page) {
        case 0:
            return signature1;
        case 1:
            return newsCheck1;
        default:
            return rec_sec;
    }
}

void OptionsDialog::showPage(int index, bool focusPage) {
    QWidget* first = firstControlOf(index);
    {
        // Hiding the page that had the focus passes the focus on by itself;
        // only where it ends up is said.
        SpokenFocus::Muted quiet(*spoken_);
        tbsOptions->setCurrentIndex(index);
        if (focusPage) {
            first->setFocus(Qt::TabFocusReason);
        }
    }
    if (focusPage) {
        spoken_->say(first);
    }
}

void OptionsDialog::selectNextTab() {
    const QWidget* focus = QApplication::focusWidget();
    QWidget* page = picOptions[static_cast<std::size_t>(tbsOptions->currentIndex())];
    const bool focusOnPage = focus != nullptr && page->isAncestorOf(focus);
    showPage((tbsOptions->currentIndex() + 1) % tbsOptions->count(), focusOnPage);
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType() ||
        static_cast<QWidget*>(watched)->window() != this) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    const bool tabKey = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (!tabKey || !(modifiers & Qt::ControlModifier)) {
        return false;
    }
    if (modifiers == Qt::ControlModifier && key->key() == Qt::Key_Tab) {
        selectNextTab();
    }
    return true;
}

QString OptionsDialog::siteHost(const QString& site) {
    const QString trimmed = site.trimmed();
    if (trimmed.isEmpty()) {
        return {};
    }
    return QUrl::fromUserInput(trimmed).host();
}

}  // namespace orvane::mailer
