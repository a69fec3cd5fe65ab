#pragma once

#include "expected.h"
#include "mail_component.h"

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace orvane::mailcheck {

class Announcer;
class CheckerVoice;

// The POP3 login the checks use.
struct PopLogin {
    QString pop;
    QString account;
    QString password;

    bool operator==(const PopLogin&) const = default;
};

struct PollingOptions {
    // Between the sender and subject and the voice attachment, so the
    // announcement is heard before the clip.
    std::chrono::milliseconds pauseBeforeClip{10000};
    // How often the speech queue is asked whether a played clip has been heard.
    std::chrono::milliseconds queueCheckInterval{250};
    // A played clip is removed after this at the latest, heard or not.
    std::chrono::milliseconds longestClipWait{std::chrono::minutes(15)};
    // Hands a file to the desktop's opener; false when it could not be started.
    std::function<bool(const QString& path)> openExternally;
};

// Counts the 30-second ticks and checks the mailbox when the interval has
// passed: fetches the mail not announced before ("SAVEALL", the mail stays on
// the server), announces it, plays the first mail's voice attachment and
// removes every file the pass saved.
//
// One pass at a time: the POP3 exchange runs off the window's thread and the
// pause before the clip is a timer, so the window answers throughout, and a
// check asked for while a pass runs is not started. A server that cannot be
// reached or refuses the login is reported once, and once more when checks
// succeed again.
class Polling : public QObject {
    Q_OBJECT
  public:
    static constexpr char kArrived[] = "メールが届いています";

    // `mail` and `voice` must outlive the object; `mailDir` is where the
    // component saves the mail files and attachments.
    Polling(mail::MailComponent& mail, CheckerVoice& voice, Announcer& announcer, QString mailDir,
            PollingOptions options = {});
    // Waits for a POP3 exchange still running.
    ~Polling() override;

    // The login of the next checks. Until one is set no check runs; a new
    // one forgets a reported trouble, so the next failure is told again.
    void setLogin(const PopLogin& login);
    bool hasLogin() const { return login_.has_value(); }
    // Ticks between checks (interval in minutes × 2); the count goes on.
    void setTickLimit(double limit) { tickLimit_ = limit; }
    double tickLimit() const { return tickLimit_; }
    bool running() const { return running_; }

    // One tick of the 30-second timer: counts, and checks when the count has
    // reached the limit (a limit of 0 checks on every tick). A due check that
    // meets a running pass waits for the next tick.
    void Timer1_Timer();
    // One fetch-and-announce pass, now. Without a login it asks for the
    // settings instead; while a pass runs it does nothing.
    void check_mail();

  signals:
    // The tick count, for the window's counter.
    void tickCountChanged(int count);
    // A pass is over: its files are removed and a played clip has been heard.
    void passFinished();

  private:
    struct Fetched {
        Expected<QStringList> saved = QStringList();
        std::optional<Expected<mail::ReceivedMail>> first;
    };
    enum class ClipHandling { None, Played, HandedOut };

    void onFetched(const Fetched& fetched);
    void reportTrouble(const Failure& failure);
    void afterPause();
    ClipHandling mp3(const QString& path);
    void waitForClip();
    void finish();

    mail::MailComponent& mail_;
    CheckerVoice& voice_;
    Announcer& announcer_;
    QString mailDir_;
    PollingOptions options_;

    std::optional<PopLogin> login_;
    double tickLimit_ = 0;
    int tickCount_ = 0;
    bool running_ = false;
    // A failed check has been reported and no check has succeeded since.
    bool troubleReported_ = false;

    QFutureWatcher<Fetched> fetch_;
    // Of the pass under way.
    QStringList savedFiles_;
    QStringList attachments_;
    QString clip_;
    QTimer clipWatch_;
    std::chrono::steady_clock::time_point clipQueuedAt_;
};

}  // namespace orvane::mailcheck
