#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace orvane::mailer {

class Announcer;
class ComposeFields;

inline const QString kNoMailSelected = QStringLiteral("メールが選択されていません");

// A mail as the mail list shows it in its current row.
struct ListedMail {
    QString sender;   // column 1: the sender text as stored
    QString subject;  // column 2: the subject as listed, "♪　" first for an attachment
};

// The address a reply goes to: the text between the first "<" and the first
// ">" of the sender text when both are there in that order, else the whole
// sender text; blanks around it are dropped.
QString replyAddress(const QString& sender);

// Replying to the current mail of the mail list ("送信者への返信", Ctrl+R, and
// ESC on the list): the recipient and the subject are filled from what the
// list shows, and the user goes on in the body. Nothing is read from the store.
class Reply {
  public:
    // The current row of the mail list, or nothing on the header row or an
    // empty list. The mail list leaves its sender column current afterwards.
    using CurrentMail = std::function<std::optional<ListedMail>()>;

    Reply(Announcer& announcer, ComposeFields& compose, CurrentMail currentMail);

    // On no mail, shows and says kNoMailSelected and changes nothing.
    void msg_replay_Click();

  private:
    Announcer& announcer_;
    ComposeFields& compose_;
    CurrentMail currentMail_;
};

}  // namespace orvane::mailer
