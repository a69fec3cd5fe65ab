#pragma once

#include "expected.h"
#include "mail_store.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace orvane::mail {
class MailComponent;
}

namespace orvane::mailer {

class Announcer;
struct MailerState;

// Brings the waiting mail of every loaded account into the store.
// Reads MailerState::accounts and mail_dir; writes the working POP values
// (pop: the last account polled) and pending_mail_count.
//
// Nothing is lost: the mail component deletes mail from the server only once
// its files are safely on disk, and every such file in the mail folder that
// has no row yet (a run ended between saving and storing, a store that
// refused) is stored by the next receive, exactly once. All rows of one
// account's receive go in together or not at all.
//
// An account that cannot be polled is never taken for one without mail: it
// is named, with the component's reason, after the one message.
class Receiving {
  public:
    // The mailer's pause, in seconds (speech goes on, input waits).
    using Pause = std::function<void(int seconds)>;

    Receiving(MailStore& store, Announcer& announcer, MailerState& state,
              mail::MailComponent& component, Pause pause);

    // Asks every account how many mails wait and says the sum once.
    void count_new_mail();
    // Receives every account's mail and says how many mails were stored.
    void receive_all();
    // Receives right after count_new_mail, which has just said the count:
    // says only what failed, and leaves out the accounts the count could not
    // reach.
    void receive_after_check();
    // Stores the mail files in the mail folder that have no row yet (a run
    // ended between saving and storing); returns how many were stored.
    int store_unstored_files();
    // Reads the saved mail files and stores them as unread mails of the
    // received folder, all in one transaction; returns how many were stored.
    // A file that cannot be read is reported and kept for the next receive.
    int savemail2db(const QStringList& files);

    void mail_check_Click() { count_new_mail(); }
    void receive_Click() { receive_all(); }

  private:
    struct AccountFailure {
        int accountId;
        QString email;
        QString reason;
    };

    void setPopValues(const AccountRow& account);
    Expected<QStringList> poll(const AccountRow& account, const QString& command);
    // Receives the given accounts; returns how many mails were stored.
    int receiveAccounts(const QSet<int>& skippedAccountIds);
    // Leaves out the files this receive has already offered.
    int storeUnstoredFilesOfThisReceive();
    void nameFailures(const std::vector<AccountFailure>& failures);

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    mail::MailComponent& component_;
    Pause pause_;
    // Accounts the last count could not reach.
    QSet<int> uncheckedAccountIds_;
    // Files offered to savemail2db in the receive under way.
    QSet<QString> triedFiles_;
    std::vector<AccountFailure> failures_;
};

}  // namespace orvane::mailer
