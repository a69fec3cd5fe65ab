#pragma once

#include "command_table.h"

#include <functional>
#include <vector>

namespace orvane::mailer {

class AddressBook;
class Announcer;
class ComposeFields;
class Folders;
class MailActions;
class MailList;
class MainWindow;
class Receiving;
class Reply;
class Sending;
class SettingsPlaces;
struct MailerState;

// What the main window's commands act on.
struct MainCommandTargets {
    MainWindow& window;
    MailList& mailList;
    Receiving& receiving;
    SettingsPlaces& settings;
    ComposeFields& compose;
    AddressBook& addressBook;
    Sending& sending;
    Reply& reply;
    MailActions& mailActions;
    Folders& folders;
    const MailerState& state;
    Announcer& announcer;
};

// The main window's menus, in menu-bar order.
std::vector<MenuDefinition> mainMenus();
// Every menu item and key of the main window, menu items in menu order.
// Keys that a place hands over by name (the body's INS, ENTER and ESC, the
// address book's ENTER, DEL and ESC, the mail list's and the folder list's
// keys) are rows without a shortcut, named "body_insert", "body_enter",
// "body_escape", "List2_enter", "List2_delete", "List2_escape", and as
// commandName() of mail_actions.h and folders.h give.
std::vector<Command> mainCommands(MainCommandTargets targets);

}  // namespace orvane::mailer
