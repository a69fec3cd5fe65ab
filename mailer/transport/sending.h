#pragma once

#include "compose_fields.h"

#include <QString>

namespace orvane::mail {
class MailComponent;
}

namespace orvane::mailer {

class Announcer;
struct MailerState;

// Reading the composed mail back, and sending it.
//
// Reads MailerState's current account, mail_dir, programFolder and
// voice_file_base; reads and clears voice_attached.
//
// A send is announced as sent only once the server has accepted the mail;
// then the voice file is deleted and the voice-attached flag cleared. A send
// that failed says why and changes nothing: the fields keep their texts, and
// a recorded voice file and its flag stay for the next try. Nothing of a
// sent mail is stored.
class Sending {
  public:
    Sending(Announcer& announcer, MailerState& state, mail::MailComponent& component);

    // "作成したメールの確認" and ENTER in the body.
    void confirm_msg(const ComposedMail& mail);
    // ESC in the body, and the send half of "送受信". Says nothing when there
    // is no recipient (the send half of "送受信" then only received).
    void send_msg(const ComposedMail& mail);

    // The voice file the next send attaches while voice_attached is set.
    QString voiceFilePath() const;

  private:
    Announcer& announcer_;
    MailerState& state_;
    mail::MailComponent& component_;
};

}  // namespace orvane::mailer
