#include "settings_wiring.h"

#include "accounts.h"
#include "options.h"

namespace orvane::mailer {

namespace {

// The account and option places of the settings, as the main window uses them.
class AccountsAndOptions : public SettingsPlaces {
  public:
    AccountsAndOptions(MailStore& store, Announcer& announcer, MailerState& state,
                       QWidget* mainWindow)
        : accounts_(store, announcer, state, mainWindow),
          options_(store, announcer, state, mainWindow) {}

    bool load_accounts() override { return accounts_.load_accounts(); }
    void showFirstUse() override { accounts_.showFirstUse(); }
    void choose_current_account() override { accounts_.choose_current_account(); }
    void t_account_Click() override { accounts_.t_account_Click(); }
    void read_options() override { options_.read_options(); }
    void t_option_Click() override { options_.t_option_Click(); }

  private:
    Accounts accounts_;
    Options options_;
};

}  // namespace

std::unique_ptr<SettingsPlaces> createSettingsPlaces(MailStore& store, Announcer& announcer,
                                                     MailerState& state, QWidget* mainWindow) {
    return std::make_unique<AccountsAndOptions>(store, announcer, state, mainWindow);
}

}  // namespace orvane::mailer
