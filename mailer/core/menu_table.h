#pragma once

#include <QKeySequence>
#include <QString>

#include <vector>

namespace orvane::mailer {

struct MenuItemSpec {
    QString name;     // object name; its handler is name + "_Click"
    QString caption;  // "-" for a separator
    QKeySequence shortcut;
};

struct MenuSpec {
    QString name;
    QString caption;
    std::vector<MenuItemSpec> items;
};

// The main window's menu bar, in order.
const std::vector<MenuSpec>& mainMenuTable();

}  // namespace orvane::mailer
