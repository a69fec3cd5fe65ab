#include "settings_wiring.h"

#include "announcer.h"
#include "mail_store.h"
#include "mailer_state.h"

namespace orvane::mailer {

namespace {

// PROVISIONAL until the account and option windows are built: loads what
// the store holds and says that the windows are not there yet.
class StoredSettings : public SettingsPlaces {
  public:
    StoredSettings(MailStore& store, Announcer& announcer, MailerState& state)
        : store_(store), announcer_(announcer), state_(state) {}

    bool load_accounts() override {
        state_.accounts = store_.accounts();
        if (state_.accounts.size() > static_cast<std::size_t>(kMaxAccounts)) {
            state_.accounts.resize(kMaxAccounts);
        }
        return !state_.accounts.empty();
    }
    void showFirstUse() override { notYet(); }
    void t_account_Click() override { notYet(); }
    void read_options() override {
        state_.signature = store_.signature().signature;
        const VoiceOption voice = store_.voice();
        state_.recording_seconds = voice.sec;
        state_.voice_file_base = voice.voiceFile;
    }
    void t_option_Click() override { notYet(); }

  private:
    void notYet() { announcer_.speak(QStringLiteral("この画面はまだ用意されていません")); }

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
};

}  // namespace

std::unique_ptr<SettingsPlaces> createSettingsPlaces(MailStore& store, Announcer& announcer,
                                                     MailerState& state, QWidget*) {
    return std::make_unique<StoredSettings>(store, announcer, state);
}

}  // namespace orvane::mailer
