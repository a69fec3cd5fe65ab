#pragma once

// The compose places on widgets of their own: a store in a temporary folder,
// an announcer whose every text lands in a transcript, the program-wide
// values, and a window holding the three fields, the address book and a
// stand-in for the mail list to leave the fields for.
#include "address_book.h"
#include "agent.h"
#include "announcer.h"
#include "compose_fields.h"
#include "focus_convention.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "test_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

class ComposeTest : public ::testing::Test {
  protected:
    ComposeTest() {
        auto opened = orvane::mailer::MailStore::open(home.filePath("speak_mail.mdb"));
        store.emplace(std::move(opened).value());
        orvane::speech::Agent::Options options;
        options.transcriptPath = home.filePath("transcript.txt");
        agent = std::make_unique<orvane::speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));

        state.programFolder = home.path();
        state.mail_dir = home.filePath("mail");
        state.signature = "山田太郎\nyamada@example.jp";

        auto* layout = new QVBoxLayout(&window);
        for (QWidget* w : std::initializer_list<QWidget*>{mailList, List2, mailto, subject, body,
                                                          cmd_message, shortcut02}) {
            layout->addWidget(w);
        }
        focus.addPlace(mailList, orvane::mailer::kModeMailList);
        compose.emplace(*store, announcer, state, focus,
                        orvane::mailer::ComposeWidgets{mailto, subject, body});
        book.emplace(*store, announcer, focus, List2, *compose);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QStringList spoken() const { return transcriptTexts(home.filePath("transcript.txt")); }
    qsizetype mark() const { return spoken().size(); }
    QStringList spokenSince(qsizetype mark) const { return spoken().mid(mark); }

    // Moves the focus as the user would and waits until it has arrived.
    static bool focusOn(QWidget* widget) {
        widget->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000);
    }
    static bool tabFrom(QWidget* from, QWidget* to) {
        QTest::keyClick(from, Qt::Key_Tab);
        return QTest::qWaitFor([to] { return to->hasFocus(); }, 2000);
    }

    // The account that sends through `smtp` (and logs in to `pop` first).
    orvane::mailer::AccountRow account(const QString& smtp, const QString& pop = {}) const {
        orvane::mailer::AccountRow row;
        row.id = 1;
        row.cur = true;
        row.fields = {pop, smtp, "testuser", "testpass", "yamada@example.jp", "やまだ", "表題"};
        return row;
    }
    void makeCurrent(const orvane::mailer::AccountRow& row) {
        state.accounts = {row};
        state.current_account = 1;
    }

    QTemporaryDir home;
    std::optional<orvane::mailer::MailStore> store;
    std::unique_ptr<orvane::speech::Agent> agent;
    QWidget window;
    QListWidget* mailList = new QListWidget(&window);
    QListWidget* List2 = new QListWidget(&window);
    QLineEdit* mailto = new QLineEdit(&window);
    QLineEdit* subject = new QLineEdit(&window);
    QTextEdit* body = new QTextEdit(&window);
    QLabel* cmd_message = new QLabel(&window);
    QLabel* shortcut02 = new QLabel(&window);
    orvane::mailer::Announcer announcer{cmd_message, shortcut02};
    orvane::mailer::MailerState state;
    orvane::mailer::FocusConvention focus;
    std::optional<orvane::mailer::ComposeFields> compose;
    std::optional<orvane::mailer::AddressBook> book;
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
