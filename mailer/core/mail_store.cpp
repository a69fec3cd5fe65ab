#include "mail_store.h"

#include "private_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <cstdio>

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

// Added after the first stores were made: created wherever it is missing, so
// that older stores open as they were.
const char* const kAddedSchema[] = {
    "CREATE TABLE IF NOT EXISTS preference (name TEXT PRIMARY KEY, value TEXT NOT NULL)",
    // The unread subjects of a large folder without reading every row.
    "CREATE INDEX IF NOT EXISTS mail_unread_by_folder_date"
    " ON mail (folder, readflag, date DESC, id DESC)",
};

const QString kReadsRowOnArrows = QStringLiteral("reads_row_on_arrows");

// SQLite's result codes (the primary code in the low byte).
enum SqliteCode {
    kSqlitePerm = 3,
    kSqliteBusy = 5,
    kSqliteLocked = 6,
    kSqliteNoMem = 7,
    kSqliteReadOnly = 8,
    kSqliteIoErr = 10,
    kSqliteCorrupt = 11,
    kSqliteFull = 13,
    kSqliteCantOpen = 14,
    kSqliteConstraint = 19,
    kSqliteAuth = 23,
    kSqliteNotADb = 26,
};

// The driver's English message ("database is locked") as a sentence the user
// can be told; the English stays on standard error for whoever debugs it.
QString spokenReason(const QSqlError& error) {
    bool numeric = false;
    const int code = error.nativeErrorCode().toInt(&numeric) & 0xff;
    std::fprintf(stderr, "orvane: mail store: %s\n", error.text().toLocal8Bit().constData());
    switch (numeric ? code : -1) {
        case kSqliteBusy:
        case kSqliteLocked:
            return QStringLiteral(
                "メールストアをほかのプログラムが使っているため、読み書きできませんでした。"
                "しばらくしてからもう一度お試しください");
        case kSqliteFull:
            return QStringLiteral("ディスクがいっぱいのため、メールストアに書き込めませんでした");
        case kSqliteReadOnly:
            return QStringLiteral("メールストアが読み取り専用のため、書き込めませんでした");
        case kSqlitePerm:
        case kSqliteAuth:
            return QStringLiteral("メールストアを使う権限がありません");
        case kSqliteIoErr:
            return QStringLiteral("メールストアのファイルを読み書きできませんでした");
        case kSqliteCorrupt:
        case kSqliteNotADb:
            return QStringLiteral("メールストアのファイルが壊れています");
        case kSqliteCantOpen:
            return QStringLiteral("メールストアのファイルを開けません");
        case kSqliteNoMem:
            return QStringLiteral("メモリーが足りないため、メールストアを使えませんでした");
        case kSqliteConstraint:
            return QStringLiteral("メールストアが値を受け付けませんでした");
        default:
            return QStringLiteral("メールストアの読み書きに失敗しました");
    }
}

Failure storeFailure(QString reason) {
    return fail(FailureKind::Store, std::move(reason));
}

StoreError storeError(const QSqlError& error) {
    return StoreError(spokenReason(error));
}

// Reads the first bytes without opening the file for writing, so that a file
// we refuse keeps every byte.
Expected<void> refuseForeignFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(FailureKind::Disk,
                    QStringLiteral("ファイルを読めません（%1）").arg(file.errorString()));
    }
    const QByteArray head = file.read(32);
    if (head.startsWith(QByteArrayLiteral("SQLite format 3\0"))) {
        return success();
    }
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB") {
        return fail(FailureKind::BadInput,
                    QStringLiteral("Access 形式のデータベースです。"
                                   "このプログラムのメールストアではありません"));
    }
    return fail(FailureKind::BadInput, QStringLiteral("データベースではありません"));
}

QSqlQuery prepare(const QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        throw storeError(query.lastError());
    }
    return query;
}

void run(QSqlQuery& query) {
    if (!query.exec()) {
        throw storeError(query.lastError());
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

Expected<MailStore> MailStore::open(const QString& path) {
    const QFileInfo info(path);
    const bool fresh = !info.exists() || info.size() == 0;
    if (!fresh) {
        if (Expected<void> ours = refuseForeignFile(path); !ours) {
            return ours.failure();
        }
    }
    // The store holds the accounts' passwords, so only the user may read it.
    // SQLite gives its WAL and SHM files the mode of the store, so the store
    // is made private (created empty first when new) before it is opened.
    if (!info.exists()) {
        QFile created(path);
        if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            return fail(FailureKind::Disk,
                        QStringLiteral("%1 を作れません（%2）").arg(path, created.errorString()));
        }
    }
    // Start-up checks again and reports a store it could not make private.
    for (const QString& file : storeFiles(path)) {
        (void)keepPrivate(file);
    }

    const QString name = QStringLiteral("mailstore-") + QUuid::createUuid().toString();
    MailStore store(name);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        // Another program may hold the file for a moment: wait instead of failing.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            return storeFailure(spokenReason(db.lastError()));
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
                    return storeFailure(
                        QStringLiteral("メールストアの表 %1 がありません").arg(table));
                }
            }
        }
        QSqlQuery wal(db);
        if (!wal.exec("PRAGMA journal_mode=WAL") || !wal.exec("PRAGMA synchronous=NORMAL")) {
            return storeFailure(spokenReason(wal.lastError()));
        }
        if (empty) {
            if (!db.transaction()) {
                return storeFailure(spokenReason(db.lastError()));
            }
            for (const char* statement : kSchema) {
                QSqlQuery q(db);
                if (!q.exec(QString::fromUtf8(statement))) {
                    const QString reason = spokenReason(q.lastError());
                    db.rollback();
                    return storeFailure(reason);
                }
            }
            if (!db.commit()) {
                return storeFailure(spokenReason(db.lastError()));
            }
        }
        for (const char* statement : kAddedSchema) {
            QSqlQuery added(db);
            if (!added.exec(QString::fromUtf8(statement))) {
                return storeFailure(spokenReason(added.lastError()));
            }
        }
    } catch (const StoreError& e) {
        return storeFailure(e.reason());
    }
    return store;
}

QString MailStore::path() const {
    return db().databaseName();
}

QStringList MailStore::storeFiles(const QString& path) {
    return {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")};
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

bool MailStore::moveMail(int id, const QString& folder) {
    QSqlQuery q = prepare(db(), "UPDATE mail SET folder = ? WHERE id = ?");
    q.addBindValue(folder);
    q.addBindValue(id);
    run(q);
    return q.numRowsAffected() > 0;
}

int MailStore::insertReceivedMail(const NewMailRow& mail) {
    return insertOne(mail);
}

int MailStore::insertOne(const NewMailRow& mail) {
    QSqlQuery q = prepare(db(),
                          "INSERT INTO mail (readflag, folder, date, file, mailfrom, subject, "
                          "body, attach) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    // A null text would be bound as NULL, which the columns refuse: a mail
    // without a From header is stored with an empty sender instead.
    const auto text = [](const QString& value) {
        return QVariant(value.isNull() ? QStringLiteral("") : value);
    };
    for (const QVariant& v :
         {text(kUnread), text(kReceivedFolder), text(dateToText(mail.date)), text(mail.file),
          text(mail.mailfrom), text(mail.subject), text(mail.body), text(mail.attach)}) {
        q.addBindValue(v);
    }
    run(q);
    return q.lastInsertId().toInt();
}

namespace {

// Columns of a mail list row, in MailListRow's order.
const char* const kListColumns = "id, readflag, folder, mailfrom, subject, date, attach";

MailListRow readListRow(const QSqlQuery& q) {
    return {q.value(0).toInt(),    q.value(1).toString(),
            q.value(2).toString(), q.value(3).toString(),
            q.value(4).toString(), MailStore::dateFromText(q.value(5).toString()),
            q.value(6).toString()};
}

}  // namespace

int MailStore::mailCount(const QString& folder) {
    QSqlQuery q = prepare(db(), "SELECT COUNT(*) FROM mail WHERE folder = ?");
    q.addBindValue(folder);
    run(q);
    return q.next() ? q.value(0).toInt() : 0;
}

std::vector<MailListRow> MailStore::mailPage(const QString& folder, const MailListRow* after,
                                             int limit) {
    // Keyset paging along the (folder, date, id) index: each page costs the
    // same however deep into the folder it lies.
    const QString statement =
        QStringLiteral("SELECT %1 FROM mail WHERE folder = ?%2 ORDER BY date DESC, id DESC LIMIT ?")
            .arg(QLatin1String(kListColumns),
                 after ? QLatin1String(" AND (date, id) < (?, ?)") : QLatin1String(""));
    QSqlQuery q = prepare(db(), statement);
    q.addBindValue(folder);
    if (after) {
        q.addBindValue(dateToText(after->date));
        q.addBindValue(after->id);
    }
    q.addBindValue(limit);
    run(q);
    std::vector<MailListRow> rows;
    rows.reserve(static_cast<std::size_t>(std::max(0, limit)));
    while (q.next()) {
        rows.push_back(readListRow(q));
    }
    return rows;
}

std::vector<MailSubject> MailStore::subjectsInFolder(const QString& folder, bool unreadOnly) {
    QSqlQuery q = prepare(
        db(), QStringLiteral("SELECT subject, attach <> '' FROM mail "
                             "WHERE folder = ?%1 ORDER BY date DESC, id DESC")
                  .arg(unreadOnly ? QLatin1String(" AND readflag = ?") : QLatin1String("")));
    q.addBindValue(folder);
    if (unreadOnly) {
        q.addBindValue(kUnread);
    }
    run(q);
    std::vector<MailSubject> subjects;
    while (q.next()) {
        subjects.push_back({q.value(0).toString(), q.value(1).toInt() != 0});
    }
    return subjects;
}

std::vector<int> MailStore::insertReceivedMails(const std::vector<NewMailRow>& mails) {
    QSqlDatabase database = db();
    if (!database.transaction()) {
        throw storeError(database.lastError());
    }
    std::vector<int> ids;
    try {
        for (const NewMailRow& mail : mails) {
            ids.push_back(insertOne(mail));
        }
    } catch (const StoreError&) {
        database.rollback();
        throw;
    }
    if (!database.commit()) {
        const StoreError error = storeError(database.lastError());
        database.rollback();
        throw error;
    }
    return ids;
}

QSet<QString> MailStore::storedMailFileNames() {
    QSqlQuery q = prepare(db(), "SELECT file FROM mail");
    run(q);
    QSet<QString> names;
    while (q.next()) {
        names.insert(QFileInfo(q.value(0).toString()).fileName());
    }
    return names;
}

std::optional<QString> MailStore::preference(const QString& name) {
    QSqlQuery q = prepare(db(), "SELECT value FROM preference WHERE name = ?");
    q.addBindValue(name);
    run(q);
    if (!q.next()) {
        return std::nullopt;
    }
    return q.value(0).toString();
}

void MailStore::setPreference(const QString& name, const QString& value) {
    QSqlQuery q = prepare(db(), "INSERT OR REPLACE INTO preference (name, value) VALUES (?, ?)");
    q.addBindValue(name);
    q.addBindValue(value);
    run(q);
}

bool MailStore::readsRowOnArrows() {
    return preference(kReadsRowOnArrows).value_or(QStringLiteral("1")) != QLatin1String("0");
}

void MailStore::setReadsRowOnArrows(bool on) {
    setPreference(kReadsRowOnArrows, on ? QStringLiteral("1") : QStringLiteral("0"));
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
