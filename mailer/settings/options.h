#pragma once

#include "expected.h"
#include "mailer_state.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace orvane::mailer {

class Announcer;
class MailStore;
class OptionsDialog;

// The shortest and longest voice recording, in seconds.
inline constexpr int kMinRecordingSeconds = 1;
inline constexpr int kMaxRecordingSeconds = 3600;

// The recording time as typed in the options dialog: a whole number of seconds
// within the bounds above (full-width digits and blanks around it are fine).
Expected<int> parseRecordingSeconds(const QString& typed);

// The options: the signature, reading the news at start-up (and the news
// site), and the length of a voice recording. Reads and writes
// MailerState::signature and recording_seconds; read_options also sets
// voice_file_base.
class Options : public QObject {
    Q_OBJECT
  public:
    Options(MailStore& store, Announcer& announcer, MailerState& state, QWidget* mainWindow);
    ~Options() override;

    // Store to memory (and to the dialog when it is open).
    void read_options();
    // Dialog to store and memory, so that a new signature or recording time
    // takes effect at once. A recording time that is not acceptable writes
    // nothing and is the failure. Only while the dialog is open.
    Expected<void> write_options();
    // Shows the dialog, not modal, filled from the store. Each opening after
    // OK or ｷｬﾝｾﾙ is a new dialog.
    void t_option_Click();

    // The open dialog, or nullptr.
    OptionsDialog* dialog() const;

  private:
    OptionsDialog& openDialog();
    void fillDialog();
    void cmdOK_Click();
    void cmdCancel_Click();
    void closeDialog();

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    QWidget* mainWindow_;
    QPointer<OptionsDialog> dialog_;
};

}  // namespace orvane::mailer
