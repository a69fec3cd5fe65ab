#pragma once

#include "expected.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class QLabel;

namespace orvane::speech {
class Agent;
class Character;
}  // namespace orvane::speech

namespace orvane::mailer {

class Announcer;
class ShellWait;
struct MailerState;

// The recorder, relative to the program folder or to the executable's folder.
inline const QString kRecorderPath = QStringLiteral("trelcap28/trelcap");
// The pause between the spoken announcement and the opening beep: long enough
// for the announcement to be heard whole before the microphone is open.
inline constexpr int kAnnouncementPauseSeconds = 7;

// The base name (no folder, no ".mp3") of a voice file recorded by the POP
// user `user` at `now`: "orvane-", the user name, "-", then the date and time
// as yyyyMMddHHmmss. Characters of the user name that cannot stand in a file
// name or inside the recorder's quoted argument (", \, /, :, control
// characters) are left out; "@" and "." stay. A user name too long for a file
// name is cut short.
QString voiceFileBase(const QString& user, const QDateTime& now);

// The recorder's fixed command line: the recorder (quoted, so that a folder
// with blanks or quotes stays one argument), the recording time, 32 kbps,
// capture format 12, sampling rate 32.2 (taken as the nearest the encoder
// offers, 32 kHz), and the base name in double quotes. It is split into
// arguments as QProcess::splitCommand does. `base` must come from
// voiceFileBase.
QString recorderCommandLine(const QString& recorder, int seconds, const QString& base);

// The recorder in the first of `folders` that holds it (NotFound when none).
Expected<QString> findRecorder(const QStringList& folders);

// The beep that opens and closes a recording: a short tone through the
// character's speech output (a terminal bell is silent on most desktops),
// after what is queued there. Returns once it has been heard (or after a few
// seconds), so that the microphone opens after the beep and after the
// announcement, not during them.
std::function<void()> beepThrough(speech::Agent& agent, speech::Character* character);

// INS in the body: records a spoken message of MailerState::recording_seconds
// with the console recorder and marks the next send as a voice mail.
//
// Reads MailerState::recording_seconds (at each recording, so a changed
// option counts at once), programFolder and the current account's POP user
// name; writes voice_attached and voice_file_base.
//
// The recorder runs hidden in the program folder and writes BASE.mp3 there;
// where that name is taken it writes "BASE (2).mp3" and so on, and
// voice_file_base names the file this recording wrote, never an older one.
// A recorder that cannot be found or started, or that ends without leaving a
// new, non-empty file, is reported aloud ("録音できませんでした：" and why)
// and leaves voice_attached clear; one that ends early but leaves a file
// counts as a recording. Keys typed meanwhile are handled afterwards, in
// order (the pause and ShellWait hold them).
class VoiceRecording {
  public:
    // Sounds the beep and returns once it has been heard.
    using Beep = std::function<void()>;
    // The mail component's pause: speech goes on, input is held.
    using Pause = std::function<void(int seconds)>;
    using Clock = std::function<QDateTime()>;

    struct Parts {
        Announcer& announcer;
        MailerState& state;
        Beep beep;
        Pause pause;
        ShellWait& shellWait;
        // Shown during a recording. A QLabel without a picture gets a drawn
        // microphone. Hidden here until the first recording.
        QLabel* mic = nullptr;
        // Searched for the recorder after the program folder.
        QString executableFolder;
        Clock clock = [] { return QDateTime::currentDateTime(); };
    };

    explicit VoiceRecording(Parts parts);

    void record_voice();

  private:
    // Runs the recorder; the written file's base name, or why there is none.
    Expected<QString> runRecorder(const QString& recorder, int seconds, const QString& base);
    void showMic(bool visible);
    void reportFailure(const QString& reason);

    Parts p_;
};

}  // namespace orvane::mailer
