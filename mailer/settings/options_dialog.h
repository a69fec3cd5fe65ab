#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace orvane::mailer {

class Announcer;
class SpokenFocus;

// The dialog "ｵﾌﾟｼｮﾝ": three tabs (署名, 最新ニュース, 音声録音) with one page
// each, OK and ｷｬﾝｾﾙ. The controls, their places and what they say; what OK
// and Cancel do is wired by Options.
//
// The dialog sees key presses before its controls: Ctrl+Tab (Ctrl alone held)
// selects the next tab, from the last the first; Ctrl with any other modifier
// and Tab does nothing. A tab that is selected says its caption; when the focus
// was on the page that went away, it moves to the first control of the new
// page.
class OptionsDialog : public QDialog {
  public:
    static constexpr int kPageCount = 3;

    OptionsDialog(const Announcer& announcer, QWidget* parent);
    ~OptionsDialog() override;

    // Selects page `index`; when `focusPage`, its first control takes the
    // focus (and says its label).
    void showPage(int index, bool focusPage);
    void selectNextTab();

    // The host of a news site address ("https://news.example.jp/top" and
    // "news.example.jp/top" give "news.example.jp"); empty when it has none.
    static QString siteHost(const QString& site);

    QTabWidget* tbsOptions = nullptr;
    std::array<QWidget*, kPageCount> picOptions{};
    QGroupBox* fraSample1 = nullptr;
    QGroupBox* fraSample2 = nullptr;
    QGroupBox* fraSample3 = nullptr;
    QPlainTextEdit* signature1 = nullptr;
    QCheckBox* newsCheck1 = nullptr;
    QLabel* newsSiteLabel = nullptr;
    QLineEdit* newsSite1 = nullptr;  // the news site's address
    QLineEdit* rec_sec = nullptr;
    QLabel* rec_message = nullptr;  // why a recording time was refused
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildSignaturePage();
    void buildNewsPage();
    void buildRecordingPage();
    QWidget* firstControlOf(int page) const;

    const Announcer& announcer_;
    SpokenFocus* spoken_ = nullptr;
};

}  // namespace orvane::mailer
