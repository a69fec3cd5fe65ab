// The front end's one dialog: edits the settings record, starts and stops recordings,
// resets the settings and ends the program through EXIT only.
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

#include "recorder_settings.h"
#include "recording_session.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace trelcapg {

class ConsoleWindow;
class RecorderConsole;

// What the dialog needs from the program around it.
struct FrontEndEnvironment {
    QString applicationName;   // caption of message boxes, in the console's title
    std::string settingsPath;  // the settings file
    std::string recorderName{"trelcap"};
    RecorderLocator locateRecorder;
    MessagePresenter* messages = nullptr;  // not owned; null: message boxes
    std::function<void()> endProcess;      // the console window was closed
};

// The about box.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CRecorderDlg : public QDialog, private RecordingView {
    Q_OBJECT
  public:
    explicit CRecorderDlg(FrontEndEnvironment environment, QWidget* parent = nullptr);
    ~CRecorderDlg() override;

    // Fills the lists, loads and shows the settings and opens the console. False when the
    // console could not be made (after saying so); the dialog works on without it.
    bool OnInitDialog();

    // The record button.
    void OnRecord();
    // "CLEAR": the defaults, shown; nothing is saved.
    void OnClear();
    void ShowSettings() override;
    void DisableControls() override;

    const RecorderSettings& settings() const { return settings_; }
    RecState recState() const { return session_->recState(); }
    RecordingSession& session() const { return *session_; }
    ConsoleWindow* consoleWindow() const { return consoleWindow_.get(); }

    // EXIT: ends the dialog, frees the console and saves the settings.
    void accept() override;
    // Esc and every other way of cancelling: refused with a beep.
    void reject() override;

    // Text of the about box's menu entry.
    static QString AboutEntryText();
    // Opens the about box (modally).
    void showAbout();

    // Controls, by their part in the dialog (for tests and the layout).
    struct Controls {
        QLineEdit* filePath;
        QComboBox* recParam;
        QComboBox* boost;
        QLineEdit* recTime;
        QComboBox* outputRate;
        QComboBox* rateConversion;
        QComboBox* fileFormat;
        QCheckBox* silenceDetection;
        QLineEdit* silenceLevel;
        QLineEdit* silencePeriod;
        QComboBox* vbrLevel;
        QLineEdit* options;
        QPushButton* record;
        QPushButton* clear;
        QPushButton* exit;
        QCheckBox* mp3Vbr;
    };
    const Controls& controls() const { return c_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void fillLists();
    void openConsole();
    void closeConsole();

    void setRecordButtonCaption(const QString& caption) override;
    void setRecordButtonEnabled(bool enabled) override;

    void applyFormatRule();
    void applySilenceRule();
    void applyVbrRule();
    // Takes a box's text into the record, as when the box loses the focus.
    void commitBox(QLineEdit* box);
    void commitNumber(QLineEdit* box, std::int32_t& field, int min, int max);
    void commitText(QLineEdit* box, std::string& field, int maxChars);

    FrontEndEnvironment env_;
    std::unique_ptr<MessagePresenter> ownMessages_;
    MessagePresenter* messages_;
    RecorderSettings settings_;
    Controls c_{};
    std::unique_ptr<RecorderConsole> console_;
    std::unique_ptr<ConsoleWindow> consoleWindow_;
    std::unique_ptr<RecordingSession> session_;
};

// Text of a box as the record keeps it: the first line, at most maxChars characters and
// at most 511 bytes of UTF-8, never splitting a character.
std::string BoxTextForRecord(const QString& text, int maxChars);

}  // namespace trelcapg
