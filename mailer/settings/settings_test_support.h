#pragma once

#include "compose_test_support.h"
#include "settings_wiring.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

using orvane::mailer::test::typeText;

// The widgets of `window` that a user can reach or read but that have no name
// for screen readers (the parts Qt makes inside its own widgets aside).
inline QStringList unnamedControls(const QWidget& window) {
    QStringList unnamed;
    for (const QWidget* w : window.findChildren<QWidget*>()) {
        const bool reachable = w->focusPolicy() != Qt::NoFocus || w->inherits("QLabel");
        if (reachable && w->accessibleName().isEmpty() && !w->objectName().startsWith("qt_")) {
            unnamed << w->objectName() + "(" + w->metaObject()->className() + ")";
        }
    }
    return unnamed;
}

// Gives `widget` the keyboard focus and waits until it has it.
inline bool focusOn(QWidget* widget) {
    widget->activateWindow();
    widget->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
}

// Presses a button the way a keyboard user does: focus, then Space.
inline void press(QPushButton* button) {
    ASSERT_TRUE(focusOn(button)) << button->text().toStdString();
    QTest::keyClick(button, Qt::Key_Space);
}

// The shown window of type T, or nullptr.
template <typename T>
T* openWindowOf() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* window = dynamic_cast<T*>(w); window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

// A main window with the real account and option places, on a mailbox left
// empty; the values in memory are the ones the places were handed.
class SettingsWindowTest : public ::testing::Test {
  protected:
    SettingsWindowTest() {
        home.rcvAnswers = {QStringList{"0 0"}};
        home.createSettings = [this](orvane::mailer::MailStore& store,
                                     orvane::mailer::Announcer& announcer,
                                     orvane::mailer::MailerState& state, QWidget* mainWindow) {
            memory = &state;
            return orvane::mailer::createSettingsPlaces(store, announcer, state, mainWindow);
        };
    }
    // Account n: pop<n>.example.jp, user<n>, user<n>@example.jp and so on.
    static orvane::mailer::AccountFields sample(int n) {
        const auto f = [n](const char* pattern) { return QString::fromLatin1(pattern).arg(n); };
        return {f("pop%1.example.jp"), f("smtp%1.example.jp"), f("user%1"),
                f("pass%1"),           f("user%1@example.jp"), f("nick%1"),
                f("title%1")};
    }
    // Stores `count` sample accounts, flags the `flagged` ones and starts the
    // window.
    void start(int count, std::initializer_list<int> flagged = {}) {
        for (int i = 1; i <= count; ++i) {
            const int id = home.store().insertAccount(sample(i));
            if (std::find(flagged.begin(), flagged.end(), i) != flagged.end()) {
                home.store().setCurrentAccount(id);
            }
        }
        home.start();
    }
    orvane::mailer::MailerState& state() { return *memory; }
    QString lastSpoken() const { return home.spoken().value(home.spoken().size() - 1); }

    orvane::mailer::test::MailerHome home;
    orvane::mailer::MailerState* memory = nullptr;
};
