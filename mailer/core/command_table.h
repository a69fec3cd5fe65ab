#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QMenuBar;
class QWidget;

namespace orvane::mailer {

class Announcer;

// Where a command's key acts: the whole window, or one place of it.
enum class Place { Window, MailList, FolderList, ComposeFields, Body, AddressBook };

// What must hold before a command runs, and the sentence that is spoken and
// shown when it does not.
struct Precondition {
    std::function<bool()> holds;
    QString refusal;
};

// One command of the main window: a menu item, a key of a place, or both.
struct Command {
    QString name;     // the menu item's object name; its handler is name + "_Click"
    QString caption;  // "-" for a separator; empty for a key with no menu item
    QKeySequence shortcut;
    QString menu;  // the object name of its menu; empty when it has no menu item
    // The place it acts on. A key without a menu item whose place is not the
    // window acts only while that place's widget has the focus.
    Place place = Place::Window;
    std::vector<Precondition> preconditions;
    std::function<void()> handler;  // none: choosing it does nothing
    // A checkable item shows this; the handler is what flips it.
    std::function<bool()> checked;
};

// A menu of the menu bar, holding the commands that name it, in table order.
struct MenuDefinition {
    QString name;
    QString caption;
};

// Every command of the main window in one table. Menus and keys both run a
// command through run(): a command whose precondition fails is refused aloud
// and not started; a handler's store failure is shown and spoken (see
// reportStoreFailures) and the program goes on.
//
// Keys: a command of Place::Window with a shortcut acts anywhere in the
// window, ahead of the editing keys of fields; a command of another place
// acts only while that place's widget (attachPlace) has the focus; a command
// whose shortcut is a modifier alone (Ctrl) acts when that modifier is pressed
// and released with no other key in between.
class CommandTable : public QObject {
  public:
    CommandTable(Announcer& announcer, std::vector<MenuDefinition> menus,
                 std::vector<Command> commands, QObject* parent = nullptr);
    ~CommandTable() override;

    // Builds the menu bar and the window-wide keys of `window`.
    void install(QWidget* window, QMenuBar* menuBar);
    // Keys pressed in `widget` run the commands of `place`.
    void attachPlace(Place place, QWidget* widget);

    // Runs the command `name`: false when it is unknown or was refused.
    bool run(const QString& name);

    const std::vector<Command>& commands() const { return commands_; }
    // The menu item (or hidden key action) of a command, once installed.
    QAction* action(const QString& name) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const Command* find(const QString& name) const;
    const Command* commandForKey(Place place, const QKeySequence& pressed) const;
    bool isLoneModifierRelease(QEvent* event);
    void syncChecked();

    Announcer& announcer_;
    std::vector<MenuDefinition> menus_;
    std::vector<Command> commands_;
    std::map<QString, QAction*> actions_;
    std::map<QObject*, Place> places_;
    QWidget* window_ = nullptr;
    int loneModifier_ = 0;  // the modifier key pressed alone so far, 0 when none
};

}  // namespace orvane::mailer
