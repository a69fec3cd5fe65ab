#pragma once

#include "agent.h"
#include "announcer.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "test_support.h"

#include <QInputMethodEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

// A store in a folder of its own, an announcer whose every text lands in a
// transcript, the program-wide values and a stand-in for the main window.
class SettingsTest : public ::testing::Test {
  protected:
    SettingsTest() {
        auto opened = orvane::mailer::MailStore::open(storePath());
        store.emplace(std::move(opened).value());
        orvane::speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        agent = std::make_unique<orvane::speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
        mainWindow.show();
    }

    QString storePath() const { return home.filePath("speak_mail.mdb"); }
    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    // What was said after `mark` texts.
    QStringList spokenSince(qsizetype mark) const { return spoken().mid(mark); }
    qsizetype mark() const { return spoken().size(); }

    QTemporaryDir home;
    std::optional<orvane::mailer::MailStore> store;
    std::unique_ptr<orvane::speech::Agent> agent;
    orvane::mailer::Announcer announcer{nullptr, nullptr};
    orvane::mailer::MailerState state;
    QWidget mainWindow;
};

// Types `text` into `widget` as a user would: plain characters as key presses,
// everything else as the input method's committed text.
inline void typeText(QWidget* widget, const QString& text) {
    QString composed;
    auto commit = [&] {
        if (!composed.isEmpty()) {
            QInputMethodEvent event;
            event.setCommitString(composed);
            QApplication::sendEvent(widget, &event);
            composed.clear();
        }
    };
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            commit();
            QTest::keyClick(widget, c.toLatin1());
        } else {
            composed += c;
        }
    }
    commit();
}

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
