#include "mail_store.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace orvane::mailer {

namespace {

const char* const kSchema[] = {
    "CREATE TABLE mail ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " readflag TEXT NOT NULL DEFAULT '未読',"
    " folder TEXT NOT NULL,"
    " date TEXT NOT NULL,"
    " file TEXT NOT NULL DEFAULT '',"
    " mailfrom TEXT NOT NULL DEFAULT '',"
    " subject TEXT NOT NULL DEFAULT '',"
    " body TEXT NOT NULL DEFAULT '',"
    " attach TEXT NOT NULL DEFAULT '')",
    "CREATE INDEX mail_by_folder_date ON mail (folder, date DESC, id DESC)",
    "CREATE TABLE folder (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL)",
    "CREATE TABLE address ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " name TEXT NOT NULL DEFAULT ' ',"
    " address TEXT NOT NULL)",
    "CREATE INDEX address_by_address ON address (address)",
    "CREATE TABLE account ("
    " id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " cur INTEGER NOT NULL DEFAULT 0,"
    " pop TEXT NOT NULL DEFAULT '',"
    " smtp TEXT NOT NULL DEFAULT '',"
    " account TEXT NOT NULL DEFAULT '',"
    " password TEXT NOT NULL DEFAULT '',"
    " email TEXT NOT NULL DEFAULT '',"
    " name TEXT NOT NULL DEFAULT '',"
    " \"default\" TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE news (sel INTEGER NOT NULL DEFAULT 0, site TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE signature (email TEXT NOT NULL DEFAULT '', signature TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE voice (sec INTEGER NOT NULL DEFAULT 30, voice_file TEXT NOT NULL DEFAULT '')",
    "INSERT INTO folder (name) VALUES ('受信フォルダー'), ('保存フォルダー'), ('ゴミ箱')",
    "INSERT INTO news (sel, site) VALUES (0, '')",
    "INSERT INTO signature (email, signature) VALUES ('', '')",
    "INSERT INTO voice (sec, voice_file) VALUES (30, '')",
};

const QStringList kTables = {"mail", "folder", "address", "account", "news", "signature", "voice"};

// Reads the first bytes without opening the file for writing, so that a file
// we refuse keeps every byte.
std::optional<QString> refuseForeignFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("ファイルを読めません（%1）").arg(file.errorString());
    }
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        return std::nullopt;
    }
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB") {
        return QStringLiteral(
            "Access 形式のデータベースです。このプログラムのメールストアではありません");
    }
    return QStringLiteral("データベースではありません");
}

// The store holds the accounts' passwords, so only the user may read it. The
// engine gives the journal files it makes later the permissions of the store.
void keepPrivate(const QString& path) {
    constexpr auto kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!QFile::exists(path)) {
        QFile(path).open(QIODevice::WriteOnly, kOwnerOnly);
    }
    for (const QString& file : {path, path + "-wal", path + "-shm"}) {
        if (QFile::exists(file)) {
            QFile::setPermissions(file, kOwnerOnly);
        }
    }
}

QSqlQuery prepare(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        throw StoreError(query.lastError().text());
    }
    return query;
}

void run(QSqlQuery& query) {
    if (!query.exec()) {
        throw StoreError(query.lastError().text());
    }
}

// LIKE pattern that matches values beginning with `text` taken literally.
QString prefixPattern(const QString& text) {
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) {
            escaped += QLatin1Char('\\');
        }
        escaped += c;
    }
    return escaped + QLatin1Char('%');
}

}  // namespace

StoreError::StoreError(const QString& reason) : std::runtime_error(reason.toStdString()) {}

MailStore::MailStore(QString connectionName) : connectionName_(std::move(connectionName)) {}

MailStore::MailStore(MailStore&& other) noexcept
    : connectionName_(std::exchange(other.connectionName_, QString())) {}

MailStore::~MailStore() {
    if (connectionName_.isEmpty()) {
        return;
    }
    QSqlDatabase::database(connectionName_, false).close();
    QSqlDatabase::removeDatabase(connectionName_);
}

QSqlDatabase MailStore::db() const {
    return QSqlDatabase::database(connectionName_, false);
}

std::variant<MailStore, QString> MailStore::open(const QString& path) {
    const QFileInfo info(path);
    const bool fresh = !info.exists() || info.size() == 0;
    if (!fresh) {
        if (auto reason = refuseForeignFile(path)) {
            return *reason;
        }
    }

    keepPrivate(path);

    const QString name = QStringLiteral("mailstore-") + QUuid::createUuid().toString();
    MailStore store(name);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // Another program may hold the file for a moment: wait instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            return db.lastError().text();
        }
    }
    QSqlDatabase db = store.db();
    try {
        QSqlQuery tables = prepare(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
        run(tables);
        QStringList present;
        while (tables.next()) {
            present << tables.value(0).toString();
        }
        const bool empty = present.isEmpty() || present == QStringList{"sqlite_sequence"};
        if (!empty) {
            for (const QString& table : kTables) {
                if (!present.contains(table)) {
                    return QStringLiteral("メールストアの表 %1 がありません").arg(table);
                }
            }
        }
        QSqlQuery wal(db);
        if (!wal.exec("PRAGMA journal_mode=WAL") || !wal.exec("PRAGMA synchronous=NORMAL")) {
            return wal.lastError().text();
        }
        if (empty) {
            if (!db.transaction()) {
                return db.lastError().text();
            }
            for (const char* statement : kSchema) {
                QSqlQuery q(db);
                if (!q.exec(QString::fromUtf8(statement))) {
                    const QString reason = q.lastError().text();
                    db.rollback();
                    return reason;
                }
            }
            if (!db.commit()) {
                return db.lastError().text();
            }
        }
    } catch (const StoreError& e) {
        return e.reason();
    }
    return store;
}

QString MailStore::dateToText(const QDateTime& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime MailStore::dateFromText(const QString& text) {
    return QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

std::vector<MailListRow> MailStore::mailsInFolder(const QString& folder) {
    QSqlQuery q = prepare(db(),
                          "SELECT id, readflag, folder, mailfrom, subject, date, attach FROM mail "
                          "WHERE folder = ? ORDER BY date DESC, id DESC");
    q.addBindValue(folder);
    run(q);
    std::vector<MailListRow> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString(),
                        q.value(3).toString(), q.value(4).toString(),
                        dateFromText(q.value(5).toString()), q.value(6).toString()});
    }
    return rows;
}

std::optional<MailBody> MailStore::mailBody(int id) {
    QSqlQuery q = prepare(db(), "SELECT body, attach FROM mail WHERE id = ?");
    q.addBindValue(id);
    run(q);
    if (!q.next()) {
        return std::nullopt;
    }
    return MailBody{q.value(0).toString(), q.value(1).toString()};
}

void MailStore::markRead(int id) {
    QSqlQuery q = prepare(db(), "UPDATE mail SET readflag = ? WHERE id = ?");
    q.addBindValue(kRead);
    q.addBindValue(id);
    run(q);
}

void MailStore::deleteMail(int id) {
    QSqlQuery q = prepare(db(), "DELETE FROM mail WHERE id = ?");
    q.addBindValue(id);
    run(q);
}

void MailStore::moveMail(int id, const QString& folder) {
    QSqlQuery q = prepare(db(), "UPDATE mail SET folder = ? WHERE id = ?");
    q.addBindValue(folder);
    q.addBindValue(id);
    run(q);
}

int MailStore::insertReceivedMail(const ReceivedMail& mail) {
    QSqlQuery q = prepare(db(),
                          "INSERT INTO mail (readflag, folder, date, file, mailfrom, subject, "
                          "body, attach) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    for (const QVariant& v :
         {QVariant(kUnread), QVariant(kReceivedFolder), QVariant(dateToText(mail.date)),
          QVariant(mail.file), QVariant(mail.mailfrom), QVariant(mail.subject), QVariant(mail.body),
          QVariant(mail.attach)}) {
        q.addBindValue(v);
    }
    run(q);
    return q.lastInsertId().toInt();
}

std::vector<Folder> MailStore::folders() {
    QSqlQuery q = prepare(db(), "SELECT id, name FROM folder ORDER BY id");
    run(q);
    std::vector<Folder> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toInt(), q.value(1).toString()});
    }
    return rows;
}

void MailStore::addAddress(const QString& name, const QString& address) {
    QSqlQuery q = prepare(db(), "INSERT INTO address (name, address) VALUES (?, ?)");
    q.addBindValue(name);
    q.addBindValue(address);
    run(q);
}

namespace {
std::vector<Address> readAddresses(QSqlQuery& q) {
    std::vector<Address> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toInt(), q.value(1).toString(), q.value(2).toString()});
    }
    return rows;
}
}  // namespace

std::vector<Address> MailStore::addresses() {
    QSqlQuery q = prepare(db(), "SELECT id, name, address FROM address ORDER BY address");
    run(q);
    return readAddresses(q);
}

void MailStore::deleteAddress(const QString& address) {
    QSqlQuery q = prepare(db(), "DELETE FROM address WHERE address = ?");
    q.addBindValue(address);
    run(q);
}

std::vector<Address> MailStore::addressesStartingWith(const QString& typed) {
    QSqlQuery q =
        prepare(db(), "SELECT id, name, address FROM address WHERE address LIKE ? ESCAPE '\\'");
    q.addBindValue(prefixPattern(typed));
    run(q);
    return readAddresses(q);
}

NewsOption MailStore::news() {
    QSqlQuery q = prepare(db(), "SELECT sel, site FROM news");
    run(q);
    if (!q.next()) {
        return {};
    }
    return {q.value(0).toInt() != 0, q.value(1).toString()};
}

SignatureOption MailStore::signature() {
    QSqlQuery q = prepare(db(), "SELECT email, signature FROM signature");
    run(q);
    if (!q.next()) {
        return {};
    }
    return {q.value(0).toString(), q.value(1).toString()};
}

VoiceOption MailStore::voice() {
    QSqlQuery q = prepare(db(), "SELECT sec, voice_file FROM voice");
    run(q);
    if (!q.next()) {
        return {};
    }
    return {q.value(0).toInt(), q.value(1).toString()};
}

void MailStore::setNewsSelected(bool selected) {
    QSqlQuery q = prepare(db(), "UPDATE news SET sel = ?");
    q.addBindValue(selected ? 1 : 0);
    run(q);
}

void MailStore::setSignature(const QString& signature) {
    QSqlQuery q = prepare(db(), "UPDATE signature SET signature = ?");
    q.addBindValue(signature);
    run(q);
}

void MailStore::setVoiceSeconds(int seconds) {
    QSqlQuery q = prepare(db(), "UPDATE voice SET sec = ?");
    q.addBindValue(seconds);
    run(q);
}

void MailStore::setNewsSite(const QString& site) {
    QSqlQuery q = prepare(db(), "UPDATE news SET site = ?");
    q.addBindValue(site);
    run(q);
}

std::vector<AccountRow> MailStore::accounts() {
    QSqlQuery q = prepare(db(),
                          "SELECT id, cur, pop, smtp, account, password, email, name, \"default\" "
                          "FROM account ORDER BY id");
    run(q);
    std::vector<AccountRow> rows;
    while (q.next()) {
        rows.push_back(
            {q.value(0).toInt(), q.value(1).toInt() != 0,
             AccountFields{q.value(2).toString(), q.value(3).toString(), q.value(4).toString(),
                           q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                           q.value(8).toString()}});
    }
    return rows;
}

void MailStore::deleteAccount(int id) {
    QSqlQuery q = prepare(db(), "DELETE FROM account WHERE id = ?");
    q.addBindValue(id);
    run(q);
}

void MailStore::clearCurrentAccount() {
    QSqlQuery q = prepare(db(), "UPDATE account SET cur = 0");
    run(q);
}

void MailStore::setCurrentAccount(int id) {
    QSqlQuery q = prepare(db(), "UPDATE account SET cur = 1 WHERE id = ?");
    q.addBindValue(id);
    run(q);
}

namespace {
void bindAccount(QSqlQuery& q, const AccountFields& a) {
    for (const QString* v :
         {&a.pop, &a.smtp, &a.account, &a.password, &a.email, &a.name, &a.defaultTitle}) {
        q.addBindValue(*v);
    }
}
}  // namespace

int MailStore::insertAccount(const AccountFields& account) {
    QSqlQuery q = prepare(db(),
                          "INSERT INTO account (pop, smtp, account, password, email, name, "
                          "\"default\") VALUES (?, ?, ?, ?, ?, ?, ?)");
    bindAccount(q, account);
    run(q);
    return q.lastInsertId().toInt();
}

void MailStore::updateAccount(int id, const AccountFields& account) {
    QSqlQuery q = prepare(db(),
                          "UPDATE account SET pop = ?, smtp = ?, account = ?, password = ?, "
                          "email = ?, name = ?, \"default\" = ? WHERE id = ?");
    bindAccount(q, account);
    q.addBindValue(id);
    run(q);
}

}  // namespace orvane::mailer
