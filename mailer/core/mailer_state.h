#pragma once

#include "mail_store.h"

#include <QString>

#include <optional>
#include <vector>

namespace orvane::mailer {

// At most this many accounts are loaded and served.
inline constexpr int kMaxAccounts = 20;

// The POP server, user and password that the next RcvMail call takes.
struct PopValues {
    QString server;
    QString user;
    QString password;
};

// The mailer's program-wide values. MainWindow owns the one instance; each
// place takes a reference and its header says which fields it reads and
// writes. Nothing here talks to the store or the window.
struct MailerState {
    QString programFolder;
    QString mail_dir;  // programFolder + "/mail": received files and attachments

    // The folder the mail list shows.
    QString current_folder = kReceivedFolder;
    // A mail picked with SPACE on the mail list, waiting for INS in the folder list.
    bool move_mode = false;
    int move_mail_id = 0;

    // The loaded accounts (entry k is accounts[k - 1]) and the number of the
    // current one, 0 when none is current.
    std::vector<AccountRow> accounts;
    int current_account = 0;

    PopValues pop;
    // The count the last mail check found, summed over the accounts.
    int pending_mail_count = 0;

    // The next send attaches the voice file programFolder/voice_file_base + ".mp3".
    bool voice_attached = false;
    QString voice_file_base;

    int recording_seconds = 30;
    QString signature;

    // The current account, when there is one.
    const AccountRow* currentAccount() const {
        if (current_account < 1 || current_account > static_cast<int>(accounts.size())) {
            return nullptr;
        }
        return &accounts[static_cast<std::size_t>(current_account - 1)];
    }
};

}  // namespace orvane::mailer
