#pragma once

#include "announcer.h"
#include "focus_convention.h"
#include "help_text.h"

#include <QMainWindow>

#include <functional>
#include <map>

class QLabel;
class QListWidget;
class QLineEdit;
class QTableWidget;
class QTextEdit;
class QAction;

namespace orvane::speech {
class Agent;
class Character;
}  // namespace orvane::speech

namespace orvane::mail {
class MailComponent;
}

namespace orvane::mailer {

class MailStore;
class ShellWait;

// What the main window works with; all of it outlives the window.
struct MailerServices {
    MailStore* store = nullptr;
    speech::Agent* agent = nullptr;
    // Made in start-up step 9 by this factory.
    std::function<std::unique_ptr<mail::MailComponent>()> createMailComponent;
    // Hands a document to the desktop's default program; false when that failed.
    std::function<bool(const QString& path)> openDocument;
    // Ends the program with the given status.
    std::function<void(int status)> quit;
    QString programFolder;
};

// Form1: the mailer's one main window.
class MainWindow : public QMainWindow {
    Q_OBJECT
  public:
    explicit MainWindow(MailerServices services);
    ~MainWindow() override;

    // The start-up sequence.
    void Form_Load();

    // Menu handlers.
    void fend_Click();
    void help_help_Click();
    void htmlhelp_Click();
    void display_mail_list_Click();
    void move_to_mail_list_Click();
    void chose_folder_Click();

    void load_help_text();
    void check_first_run();

    Announcer& announcer() { return announcer_; }
    int input_mode() const { return focus_.input_mode(); }
    const HelpTexts& help_text() const { return help_text_; }
    QAction* menuAction(const QString& name) const;
    speech::Character* character() const { return character_; }
    QString mail_dir() const { return mailDir_; }
    QString current_folder() const { return currentFolder_; }
    int panes_height() const { return panesHeight_; }

    // The mail component's pause: speech and repaints go on, what the user
    // types is delivered afterwards.
    void Sleep(int seconds);

    // Runs `handler`; a failure is shown and spoken and the program goes on.
    void guarded(const std::function<void()>& handler);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void connectHandlers();
    void loadCharacter();

    MailerServices services_;
    std::unique_ptr<mail::MailComponent> mail_;
    speech::Character* character_ = nullptr;

    QTableWidget* MSFlexGrid1 = nullptr;
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
    std::map<QString, QAction*> actions_;
    HelpTexts help_text_;
    QString mailDir_;
    QString currentFolder_;
    int panesHeight_ = 0;
};

}  // namespace orvane::mailer
