#pragma once

// A program folder of its own and a main window started on it, for the tests
// that type into the real window (offscreen) and check what was spoken, shown
// and stored.
#include "agent.h"
#include "character.h"
#include "fake_mail_component.h"
#include "mail_list.h"
#include "mail_store.h"
#include "mailer_state.h"
#include "main_window.h"
#include "news_component.h"
#include "settings_places.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

namespace orvane::mailer::test {

inline QString sourceFile(const QString& relative) {
    return QDir(qEnvironmentVariable("ORVANE_SOURCE_DIR")).filePath(relative);
}

// The account and option places as a test drives them: the accounts and
// options come from the store; first use runs what the test scripts.
class ScriptedSettings : public SettingsPlaces {
  public:
    ScriptedSettings(MailStore& store, MailerState& state, std::function<void()> firstUse)
        : store_(store), state_(state), firstUse_(std::move(firstUse)) {}

    bool load_accounts() override {
        state_.accounts = store_.accounts();
        return !state_.accounts.empty();
    }
    void showFirstUse() override {
        if (firstUse_) {
            firstUse_();
        }
        load_accounts();
    }
    void choose_current_account() override {
        state_.current_account = 0;
        for (std::size_t i = 0; i < state_.accounts.size(); ++i) {
            if (state_.accounts[i].cur) {
                state_.current_account = static_cast<int>(i) + 1;
            }
        }
        const AccountRow* current = state_.currentAccount();
        state_.pop = current ? PopValues{current->fields.pop, current->fields.account,
                                         current->fields.password}
                             : PopValues{};
    }
    void t_account_Click() override {}
    void read_options() override {
        state_.signature = store_.signature().signature;
        state_.recording_seconds = store_.voice().sec;
    }
    void t_option_Click() override {}

  private:
    MailStore& store_;
    MailerState& state_;
    std::function<void()> firstUse_;
};

// One program folder (help.txt, a character file, speak_mail.mdb, mail/) and
// the window started on it.
class MailerHome {
  public:
    MailerHome() {
        qputenv("ORVANE_HOME", dir.path().toUtf8());
        QFile::copy(sourceFile("mailer/resources/help.txt"), dir.filePath("help.txt"));
        QDir(dir.path()).mkpath("characters");
        QFile acs(dir.filePath("characters/genie.acs"));
        acs.open(QIODevice::WriteOnly);
        acs.write("name=Genie\n");
    }
    ~MailerHome() {
        window.reset();
        agent.reset();
        qunsetenv("ORVANE_HOME");
    }

    QString storePath() const { return dir.filePath("speak_mail.mdb"); }
    QString mailDir() const { return dir.filePath("mail"); }

    // The store, opened on first use.
    MailStore& store() {
        if (!store_) {
            auto opened = MailStore::open(storePath());
            if (!opened) {
                ADD_FAILURE() << opened.failure().reason.toStdString();
            }
            store_.emplace(std::move(opened).value());
        }
        return *store_;
    }

    // What an agent needs to speak into the transcript with the folder's character.
    speech::Agent::Options agentOptions() const {
        speech::Agent::Options options;
        options.transcriptPath = transcriptPath();
        options.characterDirs = {dir.filePath("characters")};
        return options;
    }

    // A fresh agent writing the transcript, or the one given.
    MainWindow& start(speech::Agent* ownAgent = nullptr) {
        MailStore& opened = store();
        if (ownAgent == nullptr) {
            agent = std::make_unique<speech::Agent>(agentOptions());
            ownAgent = agent.get();
        }
        MailerServices services;
        services.store = &opened;
        services.agent = ownAgent;
        services.programFolder = dir.path();
        services.createMailComponent = [this]() -> std::unique_ptr<mail::MailComponent> {
            if (createComponent) {
                return createComponent();
            }
            auto fake = std::make_unique<mail::FakeMailComponent>();
            fake->rcvAnswers = rcvAnswers;
            mailFake = fake.get();
            return fake;
        };
        // The news component that reads over the network; it is asked only
        // when a test sets the news options.
        services.createNewsComponent = [this]() -> std::unique_ptr<news::NewsComponent> {
            return createNews ? createNews() : news::createNewsComponent();
        };
        services.createSettings = [this](MailStore& s, Announcer& announcer, MailerState& state,
                                         QWidget* main) -> std::unique_ptr<SettingsPlaces> {
            if (createSettings) {
                return createSettings(s, announcer, state, main);
            }
            return std::make_unique<ScriptedSettings>(s, state, firstUse);
        };
        services.openDocument = [this](const QString& path) {
            openedDocuments << path;
            return openSucceeds;
        };
        services.openAttachment = [this](const QString& path) {
            openedAttachments << path;
            return openSucceeds;
        };
        services.quit = [this](int status) { quitStatus = status; };
        window = std::make_unique<MainWindow>(std::move(services));
        window->show();
        window->Form_Load();
        return *window;
    }

    QString transcriptPath() const { return dir.filePath("transcript.txt"); }
    QStringList spoken() const { return transcriptTexts(transcriptPath()); }
    // What was spoken since `mark` (a size of spoken() taken before).
    QStringList spokenSince(qsizetype mark) const { return spoken().mid(mark); }
    // What was spoken while `act` ran.
    QStringList saidDuring(const std::function<void()>& act) const {
        const qsizetype mark = spoken().size();
        act();
        return spokenSince(mark);
    }
    // Gives `widget` the focus; false when it does not arrive.
    static bool focus(QWidget* widget) {
        widget->setFocus(Qt::OtherFocusReason);
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 5000);
    }

    template <typename T>
    T* control(const char* name) const {
        return window->findChild<T*>(name);
    }
    QTableView* grid() const { return control<QTableView>("MSFlexGrid1"); }

    // Adds an account (the last one added with `current` is current).
    void addAccount(const QString& pop, const QString& email, bool current = true,
                    const QString& user = "testuser", const QString& password = "testpass") {
        store().insertAccount({pop, "smtp://127.0.0.1:1", user, password, email, "名前", "表題"});
        if (current) {
            store().clearCurrentAccount();
            store().setCurrentAccount(store().accounts().back().id);
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<speech::Agent> agent;
    std::unique_ptr<MainWindow> window;
    // Answers the fake component starts with (when createComponent is unset).
    QList<Expected<QStringList>> rcvAnswers;
    std::function<std::unique_ptr<mail::MailComponent>()> createComponent;
    // Another news component (a fake) instead of the real one.
    std::function<std::unique_ptr<news::NewsComponent>()> createNews;
    std::function<void()> firstUse;
    // The real account and option places instead of the scripted ones.
    std::function<std::unique_ptr<SettingsPlaces>(MailStore&, Announcer&, MailerState&, QWidget*)>
        createSettings;
    mail::FakeMailComponent* mailFake = nullptr;
    QStringList openedDocuments;
    QStringList openedAttachments;
    bool openSucceeds = true;
    std::optional<int> quitStatus;

  private:
    std::optional<MailStore> store_;
};

}  // namespace orvane::mailer::test
