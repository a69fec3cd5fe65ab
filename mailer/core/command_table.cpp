#include "command_table.h"

#include "announcer.h"
#include "store_boundary.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

namespace orvane::mailer {

namespace {

bool isModifierKey(int key) {
    return key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt ||
           key == Qt::Key_Meta;
}

Qt::KeyboardModifiers modifierOfKey(int key) {
    switch (key) {
        case Qt::Key_Control:
            return Qt::ControlModifier;
        case Qt::Key_Shift:
            return Qt::ShiftModifier;
        case Qt::Key_Alt:
            return Qt::AltModifier;
        default:
            return Qt::MetaModifier;
    }
}

// The modifier key a shortcut consists of alone, or 0.
int loneModifierOf(const QKeySequence& shortcut) {
    if (shortcut.count() != 1) {
        return 0;
    }
    const int key = shortcut[0].key();
    return isModifierKey(key) && shortcut[0].keyboardModifiers() == Qt::NoModifier ? key : 0;
}

// The pressed key as a shortcut ("Ctrl+P", "Return").
QKeySequence pressedKey(const QKeyEvent* key) {
    return QKeySequence(key->keyCombination());
}

}  // namespace

CommandTable::CommandTable(Announcer& announcer, std::vector<MenuDefinition> menus,
                           std::vector<Command> commands, QObject* parent)
    : QObject(parent),
      announcer_(announcer),
      menus_(std::move(menus)),
      commands_(std::move(commands)) {}

CommandTable::~CommandTable() {
    if (window_ != nullptr) {
        qApp->removeEventFilter(this);
    }
}

void CommandTable::install(QWidget* window, QMenuBar* menuBar) {
    window_ = window;
    for (const MenuDefinition& definition : menus_) {
        QMenu* menu = menuBar->addMenu(definition.caption);
        menu->setObjectName(definition.name);
        // The open menu is a window of its own: screen readers name it too.
        menu->setAccessibleName(QString(definition.caption).remove(QLatin1Char('&')));
        for (const Command& command : commands_) {
            if (command.menu != definition.name) {
                continue;
            }
            QAction* action = command.caption == QLatin1String("-")
                                  ? menu->addSeparator()
                                  : menu->addAction(command.caption);
            action->setObjectName(command.name);
            action->setShortcut(command.shortcut);
            action->setCheckable(static_cast<bool>(command.checked));
            connect(action, &QAction::triggered, this, [this, name = command.name] { run(name); });
            actions_[command.name] = action;
        }
    }
    // Window-wide keys without a menu item.
    for (const Command& command : commands_) {
        if (command.menu.isEmpty() && command.place == Place::Window &&
            !command.shortcut.isEmpty() && loneModifierOf(command.shortcut) == 0) {
            auto* action = new QAction(command.name, window);
            action->setObjectName(command.name);
            action->setShortcut(command.shortcut);
            connect(action, &QAction::triggered, this, [this, name = command.name] { run(name); });
            window->addAction(action);
            actions_[command.name] = action;
        }
    }
    syncChecked();
    qApp->installEventFilter(this);
}

void CommandTable::attachPlace(Place place, QWidget* widget) {
    places_[widget] = place;
}

QAction* CommandTable::action(const QString& name) const {
    const auto it = actions_.find(name);
    return it == actions_.end() ? nullptr : it->second;
}

const Command* CommandTable::find(const QString& name) const {
    for (const Command& command : commands_) {
        if (command.name == name) {
            return &command;
        }
    }
    return nullptr;
}

bool CommandTable::run(const QString& name) {
    const Command* command = find(name);
    if (command == nullptr) {
        return false;
    }
    bool ran = true;
    for (const Precondition& precondition : command->preconditions) {
        if (!precondition.holds()) {
            announcer_.show_message(precondition.refusal);
            announcer_.speak(precondition.refusal);
            ran = false;
            break;
        }
    }
    if (ran && command->handler) {
        ran = reportStoreFailures(announcer_, command->handler);
    }
    syncChecked();
    return ran;
}

void CommandTable::syncChecked() {
    for (const Command& command : commands_) {
        if (QAction* item = action(command.name); item != nullptr && command.checked) {
            item->setChecked(command.checked());
        }
    }
}

const Command* CommandTable::commandForKey(Place place, const QKeySequence& pressed) const {
    for (const Command& command : commands_) {
        if (command.menu.isEmpty() && command.place == place && !command.shortcut.isEmpty() &&
            command.shortcut == pressed) {
            return &command;
        }
    }
    return nullptr;
}

bool CommandTable::isLoneModifierRelease(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (isModifierKey(key->key())) {
                // A second modifier held with the first makes a chord, not a tap.
                const Qt::KeyboardModifiers others =
                    key->modifiers() & ~(modifierOfKey(key->key()) | Qt::KeypadModifier);
                const bool alone = others == Qt::NoModifier;
                if (loneModifier_ != key->key()) {
                    loneModifier_ = alone && !key->isAutoRepeat() ? key->key() : 0;
                }
            } else {
                loneModifier_ = 0;
            }
            return false;
        }
        case QEvent::KeyRelease: {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool tapped = loneModifier_ != 0 && key->key() == loneModifier_;
            if (isModifierKey(key->key())) {
                loneModifier_ = 0;
            }
            return tapped;
        }
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
            loneModifier_ = 0;
            return false;
        default:
            return false;
    }
}

bool CommandTable::eventFilter(QObject* watched, QEvent* event) {
    if (isLoneModifierRelease(event)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (const Command& command : commands_) {
            if (loneModifierOf(command.shortcut) == key->key()) {
                run(command.name);
            }
        }
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != window_) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        // Window-wide keys win over the editing keys of fields (Ctrl+A, Ctrl+Y...).
        const QKeySequence pressed = pressedKey(static_cast<QKeyEvent*>(event));
        for (const auto& [name, action] : actions_) {
            if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
                event->ignore();
                return true;
            }
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto place = places_.find(watched);
        if (place == places_.end()) {
            return false;
        }
        const Command* command =
            commandForKey(place->second, pressedKey(static_cast<QKeyEvent*>(event)));
        if (command == nullptr) {
            return false;
        }
        run(command->name);
        return true;
    }
    return false;
}

}  // namespace orvane::mailer
