#pragma once

namespace orvane::mailer {

// The account and option places as the main window uses them: loading the
// accounts and options at start-up, the account form on first use, and the
// two menu items. MainWindow gets them from MailerServices::createSettings.
class SettingsPlaces {
  public:
    virtual ~SettingsPlaces() = default;

    // Loads the accounts into MailerState; true when the store holds at least one.
    virtual bool load_accounts() = 0;
    // The account form for a new account, modal: returns once it is closed.
    virtual void showFirstUse() = 0;
    // After loading: the last flagged account is current, and the working
    // POP values are its own (empty when none is current).
    virtual void choose_current_account() = 0;
    // The account list, not modal.
    virtual void t_account_Click() = 0;
    // Loads the signature, recording seconds and voice file base into MailerState.
    virtual void read_options() = 0;
    // The options dialog, not modal.
    virtual void t_option_Click() = 0;
};

}  // namespace orvane::mailer
