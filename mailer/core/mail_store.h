#pragma once

#include "expected.h"

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>
#include <vector>

namespace orvane::mailer {

// A failing statement, with a Japanese reason fit to be spoken. The store's
// methods throw it; reportStoreFailures (store_boundary.h) is where it becomes
// a shown and spoken failure.
class StoreError : public std::runtime_error {
  public:
    explicit StoreError(const QString& reason);
    QString reason() const { return QString::fromUtf8(what()); }
    Failure failure() const { return Failure{FailureKind::Store, reason()}; }
};

inline const QString kReceivedFolder = QStringLiteral("受信フォルダー");
inline const QString kUnread = QStringLiteral("未読");
inline const QString kRead = QStringLiteral("既読");

struct MailListRow {
    int id = 0;
    QString readflag;
    QString folder;
    QString mailfrom;
    QString subject;
    QDateTime date;
    QString attach;
};

struct MailBody {
    QString body;
    QString attach;
};

// A received mail as it goes into the store: unread, in the received folder.
struct NewMailRow {
    QDateTime date;  // time of receipt
    QString file;
    QString mailfrom;
    QString subject;
    QString body;
    QString attach;
};

// What the subject readings of the mail list need of one mail.
struct MailSubject {
    QString subject;
    bool hasAttachment = false;
};

struct Folder {
    int id = 0;
    QString name;
};

struct Address {
    int id = 0;
    QString name;
    QString address;
};

struct AccountFields {
    QString pop;
    QString smtp;
    QString account;
    QString password;
    QString email;
    QString name;
    QString defaultTitle;  // column [default]: the mail title
};

struct AccountRow {
    int id = 0;
    bool cur = false;
    AccountFields fields;
};

struct NewsOption {
    bool sel = false;
    QString site;
};

struct SignatureOption {
    QString email;
    QString signature;
};

struct VoiceOption {
    int sec = 30;
    QString voiceFile;
};

// The mail store: one SQLite database in speak_mail.mdb. Every statement the
// mailer issues is one method here; values are always bound, never spliced,
// so any text is stored and matched exactly. All methods run on the thread
// that opened the store and throw StoreError, with a Japanese reason, when a
// statement fails. The file and its WAL/SHM files are readable by the owner
// only.
class MailStore {
  public:
    // Opens `path`, creating a new store with its tables, folders and option
    // rows when the file does not exist (or is empty). A file that is not a
    // store is refused, with the reason, and left untouched.
    static Expected<MailStore> open(const QString& path);

    MailStore(MailStore&& other) noexcept;
    MailStore& operator=(MailStore&&) = delete;
    MailStore(const MailStore&) = delete;
    ~MailStore();

    // Mail list: the folder's mails, newest first.
    std::vector<MailListRow> mailsInFolder(const QString& folder);
    std::optional<MailBody> mailBody(int id);
    void markRead(int id);
    void deleteMail(int id);
    // False when no mail has that id (nothing was moved).
    bool moveMail(int id, const QString& folder);
    // Stores a received mail as unread in the received folder; returns its id.
    int insertReceivedMail(const NewMailRow& mail);

    // The mail list's reads, in list order (newest date first, then highest id).
    int mailCount(const QString& folder);
    // Up to `limit` rows of `folder` that follow `after` in list order (from
    // the first row when `after` is null).
    std::vector<MailListRow> mailPage(const QString& folder, const MailListRow* after, int limit);
    // Subjects of `folder` in list order; only the unread ones when `unreadOnly`.
    std::vector<MailSubject> subjectsInFolder(const QString& folder, bool unreadOnly);

    // Receiving: stores the mails of one account's receive together; either
    // all of them are stored or, with StoreError thrown, none. Returns the ids.
    std::vector<int> insertReceivedMails(const std::vector<NewMailRow>& mails);
    // The file names (without folder) of every stored mail's file.
    QSet<QString> storedMailFileNames();

    // Whether moving through the mail list reads the row aloud (on when never set).
    bool readsRowOnArrows();
    void setReadsRowOnArrows(bool on);

    std::vector<Folder> folders();

    void addAddress(const QString& name, const QString& address);
    std::vector<Address> addresses();  // ordered by address
    void deleteAddress(const QString& address);
    // Addresses that begin with `typed`; "%" and "_" in it are plain characters.
    std::vector<Address> addressesStartingWith(const QString& typed);

    NewsOption news();
    SignatureOption signature();
    VoiceOption voice();
    void setNewsSelected(bool selected);
    void setSignature(const QString& signature);
    void setVoiceSeconds(int seconds);
    void setNewsSite(const QString& site);

    std::vector<AccountRow> accounts();
    void deleteAccount(int id);
    void clearCurrentAccount();
    void setCurrentAccount(int id);
    // Returns the id the store gave the new row.
    int insertAccount(const AccountFields& account);
    void updateAccount(int id, const AccountFields& account);

    // The file the store was opened on.
    QString path() const;
    // The store's files: `path` and the WAL and SHM files beside it.
    static QStringList storeFiles(const QString& path);

    // Dates are kept as text that sorts in time order.
    static QString dateToText(const QDateTime& date);
    static QDateTime dateFromText(const QString& text);

  private:
    explicit MailStore(QString connectionName);
    QSqlDatabase db() const;
    int insertOne(const NewMailRow& mail);
    std::optional<QString> preference(const QString& name);
    void setPreference(const QString& name, const QString& value);

    QString connectionName_;
};

}  // namespace orvane::mailer
