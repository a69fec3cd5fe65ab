#pragma once

#include "announcer.h"
#include "focus_convention.h"
#include "help_text.h"
#include "mailer_state.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QLineEdit;
class QTableView;
class QTextEdit;
class QAction;

namespace orvane::speech {
class Agent;
class Character;
}  // namespace orvane::speech

namespace orvane::mail {
class MailComponent;
}

namespace orvane::news {
class NewsComponent;
}

namespace orvane::mailer {

class AddressBook;
class CommandTable;
class ComposeFields;
class Folders;
class MailActions;
class MailList;
class MailStore;
class NewsReading;
class Receiving;
class Reply;
class Sending;
class SettingsPlaces;
class ShellWait;
class Splitter;
class VoiceRecording;

// What the main window works with; all of it outlives the window.
struct MailerServices {
    MailStore* store = nullptr;
    speech::Agent* agent = nullptr;
    // Made once at start-up by this factory.
    std::function<std::unique_ptr<mail::MailComponent>()> createMailComponent;
    // Made once when the window is built; read from only at start-up.
    std::function<std::unique_ptr<news::NewsComponent>()> createNewsComponent;
    // The account and option places, made when the window is built.
    std::function<std::unique_ptr<SettingsPlaces>(MailStore&, Announcer&, MailerState&,
                                                  QWidget* mainWindow)>
        createSettings;
    // Hands a document to the desktop's default program; false when that failed.
    std::function<bool(const QString& path)> openDocument;
    // Hands a voice attachment the mailer cannot decode to the desktop's
    // opener; false when that failed (or when unset).
    std::function<bool(const QString& path)> openAttachment;
    // Ends the program with the given status.
    std::function<void(int status)> quit;
    QString programFolder;
};

// Form1: the mailer's one main window. It builds the controls, owns the
// program-wide state and wires the places to the controls and the command
// table; the places hold the logic.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(MailerServices services);
    ~MainWindow() override;

    // The start-up sequence.
    void Form_Load();

    // Menu handlers of the window itself.
    void fend_Click();
    void help_help_Click();
    void htmlhelp_Click();

    void load_help_text();
    void check_first_run();

    Announcer& announcer() { return announcer_; }
    int input_mode() const { return focus_.input_mode(); }
    const HelpTexts& help_text() const { return help_text_; }
    QAction* menuAction(const QString& name) const;
    CommandTable& commands() { return *commands_; }
    speech::Character* character() const { return character_; }
    const MailerState& state() const { return state_; }
    QString mail_dir() const { return state_.mail_dir; }
    QString current_folder() const { return state_.current_folder; }
    // The height the mail list and the body view share, in twips.
    int panes_height() const;
    Splitter& splitter() { return *splitter_; }
    MailList& mailList() { return *mailList_; }
    ComposeFields& compose() { return *compose_; }

    // The mail component's pause: speech and repaints go on, what the user
    // types is delivered afterwards.
    void Sleep(int seconds);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildPlaces();
    void loadCharacter();
    void restrictToOwner();

    MailerServices services_;
    MailerState state_;
    std::unique_ptr<mail::MailComponent> mail_;
    speech::Character* character_ = nullptr;

    QTableView* MSFlexGrid1 = nullptr;
    QTextEdit* bodytext = nullptr;
    QListWidget* List1 = nullptr;
    QListWidget* List2 = nullptr;
    QLineEdit* mailto = nullptr;
    QLineEdit* subject = nullptr;
    QTextEdit* body = nullptr;
    QLabel* cmd_message = nullptr;
    QLabel* shortcut01 = nullptr;
    QLabel* shortcut02 = nullptr;
    QLabel* mic = nullptr;

    Announcer announcer_;
    FocusConvention focus_;
    ShellWait* shellWait_ = nullptr;
    std::unique_ptr<SettingsPlaces> settings_;
    std::unique_ptr<MailList> mailList_;
    std::unique_ptr<Receiving> receiving_;
    std::unique_ptr<ComposeFields> compose_;
    std::unique_ptr<AddressBook> addressBook_;
    std::unique_ptr<Sending> sending_;
    std::unique_ptr<Reply> reply_;
    std::unique_ptr<VoiceRecording> voiceRecording_;
    std::unique_ptr<MailActions> mailActions_;
    std::unique_ptr<Folders> folders_;
    std::unique_ptr<CommandTable> commands_;
    HelpTexts help_text_;
    Splitter* splitter_ = nullptr;  // owned by the panes' container
    std::unique_ptr<news::NewsComponent> news_;
    std::unique_ptr<NewsReading> newsReading_;
};

}  // namespace orvane::mailer
