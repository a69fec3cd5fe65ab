#pragma once

#include "command_table.h"

#include <functional>
#include <vector>

namespace orvane::mailer {

class Announcer;
class MailList;
class MainWindow;
class Receiving;
class SettingsPlaces;
struct MailerState;

// What the main window's commands act on.
struct MainCommandTargets {
    MainWindow& window;
    MailList& mailList;
    Receiving& receiving;
    SettingsPlaces& settings;
    const MailerState& state;
    Announcer& announcer;
    // The send half of "送受信" (Ctrl+M), run after the receive: the sending
    // place plugs in here. Unset: nothing is sent.
    std::function<void()> sendAfterReceive;
};

// The main window's menus, in menu-bar order.
std::vector<MenuDefinition> mainMenus();
// Every menu item and key of the main window, menu items in menu order.
std::vector<Command> mainCommands(MainCommandTargets targets);

}  // namespace orvane::mailer
