#pragma once

#include "expected.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QTableView;
class QTextEdit;

namespace orvane::mailer {

class Announcer;
class MailList;
class MailStore;
struct MailerState;

inline const QString kMailListKeyGuide = QStringLiteral(
    "[矢印:選択 ENTER:読む INS:送信者をアドレス帳へ登録 DEL:削除 ESC:返信 SPACE:移動]");

// The keys that act on the mail of the mail list's current row.
enum class MailListKey { Enter, Insert, Delete, Escape, Space };

// The command-table row that a key of the mail list runs.
QString commandName(MailListKey key);

// A sender as the address book stores it.
struct SenderEntry {
    QString name;  // one blank when the sender gives none
    QString address;
};

// "Name <address>": the address between the first "<" and the first ">"
// after it, the name before the "<" as it stands (trailing blanks kept,
// double quotes dropped). Any other sender is taken whole as the address.
SenderEntry senderEntry(const QString& mailfrom);

// A voice attachment is an MP3 file: a path ending in ".mp3", exactly so.
// ("x.mp3.exe" and "x.MP3" are not.)
bool isVoiceAttachment(const QString& path);

// `text` in pieces of `size` UTF-16 units, in order, the last holding what is
// left. A cut that would split a character (a surrogate pair, a base and its
// combining marks) moves back to the character's start, or forward when the
// piece would be empty.
QStringList longTextPieces(const QString& text, int size = 100);

// The widgets the mail keys work on.
struct MailActionWidgets {
    QTableView* grid = nullptr;     // MSFlexGrid1, where the keys are pressed
    QTextEdit* bodytext = nullptr;  // shows the body of the mail read last
};

// What the mail keys need from outside the mail list.
struct MailActionHooks {
    // The mailer's pause before a voice attachment (speech goes on, input waits).
    std::function<void(int seconds)> sleep;
    // Queues an MP3 file after what is being said; the failure when it cannot
    // be played (BadInput: not decodable; NotFound: missing).
    std::function<Expected<void>(const QString& path)> playVoice;
    // Hands a file to the desktop's opener; false when that failed.
    std::function<bool(const QString& path)> openWithDesktop;
    // The address book changed.
    std::function<void()> addressBookChanged;
    // Gives the folder list the focus.
    std::function<void()> showFolderList;
};

// The keys on a mail of the mail list: ENTER reads it, INS stores its
// sender in the address book, DEL deletes it, SPACE starts moving it to a
// folder (ESC, the reply, is the reply's own). Each acts on the current row
// and refuses the header row aloud, touching no stored mail.
//
// Writes MailerState::move_mode and move_mail_id (SPACE; DEL drops a move of
// the deleted mail).
class MailActions : public QObject {
  public:
    MailActions(MailStore& store, Announcer& announcer, MailerState& state, MailList& mailList,
                MailActionWidgets widgets, MailActionHooks hooks, QObject* parent = nullptr);

    // Every key pressed on the grid first shows the mail list's key guide;
    // ENTER, INS, DEL, ESC and SPACE (whatever modifiers are held) then go to
    // `handler` and the grid does not see them. Other keys go on to the grid.
    void onKey(std::function<void(MailListKey)> handler);

    // ENTER: the subject, then the body in pieces, shown in bodytext; then a
    // voice attachment, after the pause; the mail is read from then on.
    void readMail();
    // INS and "送信者をアドレス帳に登録する": stores the sender, even twice.
    void storeSender();
    // DEL: the mail leaves the store and the list; its files stay.
    void deleteMail();
    // SPACE: arms the move of the mail and goes to the folder list.
    void startMove();

    // Speaks `text` in pieces of 100 characters (see longTextPieces).
    void speak_long_text(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct CurrentMail {
        int row;
        int id;
    };
    std::optional<CurrentMail> currentMail();
    bool mail_list_key(int key);
    void playVoice(const QString& path);

    MailStore& store_;
    Announcer& announcer_;
    MailerState& state_;
    MailList& mailList_;
    MailActionWidgets widgets_;
    MailActionHooks hooks_;
    std::function<void(MailListKey)> key_;
};

}  // namespace orvane::mailer
