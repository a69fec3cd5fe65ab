#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <stdexcept>
#include <variant>
#include <vector>

namespace orvane::mailer {

// A failing statement. Handlers catch it at their boundary, show and speak it.
class StoreError : public std::runtime_error {
  public:
    explicit StoreError(const QString& reason);
    QString reason() const { return QString::fromUtf8(what()); }
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

struct ReceivedMail {
    QDateTime date;
    QString file;
    QString mailfrom;
    QString subject;
    QString body;
    QString attach;
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
// that opened the store and throw StoreError when a statement fails.
class MailStore {
  public:
    // Opens `path`, creating a new store with its tables, folders and option
    // rows when the file does not exist (or is empty). A file that is not a
    // store is refused, with the reason, and left untouched.
    static std::variant<MailStore, QString> open(const QString& path);

    MailStore(MailStore&& other) noexcept;
    MailStore& operator=(MailStore&&) = delete;
    MailStore(const MailStore&) = delete;
    ~MailStore();

    // Mail list: the folder's mails, newest first.
    std::vector<MailListRow> mailsInFolder(const QString& folder);
    std::optional<MailBody> mailBody(int id);
    void markRead(int id);
    void deleteMail(int id);
    void moveMail(int id, const QString& folder);
    // Stores a received mail as unread in the received folder; returns its id.
    int insertReceivedMail(const ReceivedMail& mail);

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

    // Dates are kept as text that sorts in time order.
    static QString dateToText(const QDateTime& date);
    static QDateTime dateFromText(const QString& text);

  private:
    explicit MailStore(QString connectionName);
    QSqlDatabase db() const;

    QString connectionName_;
};

}  // namespace orvane::mailer
