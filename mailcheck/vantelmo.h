#pragma once

#include "agent_voice.h"
#include "announcer.h"
#include "expected.h"
#include "polling.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane::mail {
class MailComponent;
}
namespace orvane::speech {
class Agent;
}

namespace orvane::mailcheck {

class NotificationArea;
class SettingsForm;
class Tray;

// What the window is given to work with; tests give fakes.
struct CheckerServices {
    speech::Agent* agent = nullptr;
    mail::MailComponent* mail = nullptr;
    NotificationArea* notificationArea = nullptr;
    // Holds the settings file and the mail folder.
    QString programFolder;
    // The pause before a voice attachment, the desktop's opener ...
    PollingOptions polling;
    std::function<void(int status)> quit;
};

// The checker's window "Orvane_音声メールチェック": the settings boxes, the
// character list, the tick counter and a notice line. It builds the controls
// and menus and wires the places (settings, polling, tray) to them.
class Vantelmo : public QMainWindow {
    Q_OBJECT
  public:
    explicit Vantelmo(CheckerServices services);
    ~Vantelmo() override;

    // The start of the program: the settings and the character, the icon, and
    // a first check at once when the settings are complete; otherwise the
    // window stays shown and asks for them.
    void Form_Load();

    Polling& polling() { return *polling_; }
    Tray& tray() { return *tray_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void buildMenus();
    void init();
    void AddIcon();
    void DeleteIcon();
    void Combo1_Click(const QString& name);
    void Command1_Click();
    void fend();
    void showWindow();

    CheckerServices services_;
    std::array<QLineEdit*, 4> Text1{};
    std::array<QLabel*, 5> Label1{};
    QPushButton* Command1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* noticeLine = nullptr;
    QTimer Timer1;

    AgentVoice voice_;
    Announcer announcer_;
    Expected<QString> mailFolder_;
    std::unique_ptr<SettingsForm> settings_;
    std::unique_ptr<Polling> polling_;
    std::unique_ptr<Tray> tray_;
    bool ended_ = false;
};

}  // namespace orvane::mailcheck
