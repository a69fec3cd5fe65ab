#include "mail_store.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace orvane::mailer;

namespace {

class MailStoreTest : public ::testing::Test {
  protected:
    MailStore& openStore() {
        auto opened = MailStore::open(dir.filePath("speak_mail.mdb"));
        if (!opened) {
            ADD_FAILURE() << opened.failure().reason.toStdString();
        }
        store.emplace(std::move(opened).value());
        return *store;
    }
    QTemporaryDir dir;
    std::optional<MailStore> store;
};

// Values that broke statements spliced from text, and values a lossy encoding
// would damage.
const QStringList kAwkward = {
    "O'Reilly \"quoted\"",    "100% _under_ \\back\\slash",
    "日本語の件名〜～①",      "絵文字😀🎉",
    "'; DROP TABLE mail; --", "",
};

// A second connection to the same file, as another program would hold it.
class OtherConnection {
  public:
    explicit OtherConnection(const QString& path) : name_(QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name_);
        db.setDatabaseName(path);
        db.open();
    }
    ~OtherConnection() {
        QSqlDatabase::database(name_, false).close();
        QSqlDatabase::removeDatabase(name_);
    }
    bool exec(const QString& statement) {
        QSqlQuery q(QSqlDatabase::database(name_));
        return q.exec(statement);
    }

  private:
    QString name_;
};

int modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

}  // namespace

TEST_F(MailStoreTest, NewStoreHasFoldersAndOneRowOfEachOption) {
    MailStore& s = openStore();
    const auto folders = s.folders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front().name, kReceivedFolder);
    EXPECT_EQ(s.voice().sec, 30);
    EXPECT_EQ(s.signature().signature, "");
    EXPECT_FALSE(s.news().sel);
    EXPECT_TRUE(s.accounts().empty());
}

TEST_F(MailStoreTest, AwkwardTextsRoundTripThroughEveryWriteAndRead) {
    MailStore& s = openStore();
    const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7));
    for (const QString& v : kAwkward) {
        SCOPED_TRACE(v.toStdString());
        const int id = s.insertReceivedMail({when, v, v, v, v, v});
        const auto body = s.mailBody(id);
        ASSERT_TRUE(body);
        EXPECT_EQ(body->body, v);
        EXPECT_EQ(body->attach, v);
        s.moveMail(id, v);
        const auto rows = s.mailsInFolder(v);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].mailfrom, v);
        EXPECT_EQ(rows[0].subject, v);
        EXPECT_EQ(rows[0].date, when);
        s.deleteMail(id);

        s.addAddress(v, v + "@example.jp");
        s.insertAccount({v, v, v, v, v, v, v});
        s.setSignature(v);
        EXPECT_EQ(s.signature().signature, v);
    }
    const auto accounts = s.accounts();
    ASSERT_EQ(accounts.size(), static_cast<std::size_t>(kAwkward.size()));
    for (std::size_t i = 0; i < accounts.size(); ++i) {
        EXPECT_EQ(accounts[i].fields.password, kAwkward[static_cast<qsizetype>(i)]);
        EXPECT_EQ(accounts[i].fields.defaultTitle, kAwkward[static_cast<qsizetype>(i)]);
    }
    for (const QString& v : kAwkward) {
        s.deleteAddress(v + "@example.jp");
    }
    EXPECT_TRUE(s.addresses().empty());
}

TEST_F(MailStoreTest, AddressLookupTakesWildcardsLiterally) {
    MailStore& s = openStore();
    s.addAddress("百", "100%off@example.jp");
    s.addAddress("ア", "a_b@example.jp");
    s.addAddress("ア2", "axb@example.jp");
    s.addAddress("バ", "back\\slash@example.jp");

    EXPECT_EQ(s.addressesStartingWith("a_").size(), 1u);
    EXPECT_EQ(s.addressesStartingWith("a").size(), 2u);
    EXPECT_EQ(s.addressesStartingWith("100%").front().name, "百");
    EXPECT_TRUE(s.addressesStartingWith("%").empty());
    EXPECT_EQ(s.addressesStartingWith("back\\").size(), 1u);
    EXPECT_EQ(s.addressesStartingWith("").size(), 4u);
    // The book is listed in address order.
    EXPECT_EQ(s.addresses().front().address, "100%off@example.jp");
}

TEST_F(MailStoreTest, FolderListIsNewestFirstAndMovingKeepsFlagAndDate) {
    MailStore& s = openStore();
    const QDateTime early(QDate(2026, 1, 2), QTime(23, 0));
    const QDateTime late(QDate(2026, 11, 30), QTime(1, 0));
    const int a = s.insertReceivedMail({early, "a", "a", "古い", "", ""});
    const int b = s.insertReceivedMail({late, "b", "b", "新しい", "", ""});
    auto rows = s.mailsInFolder(kReceivedFolder);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, b);
    EXPECT_EQ(rows[1].id, a);
    EXPECT_EQ(rows[1].readflag, kUnread);

    s.markRead(a);
    s.moveMail(a, "保存フォルダー");
    rows = s.mailsInFolder("保存フォルダー");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].readflag, kRead);
    EXPECT_EQ(rows[0].date, early);
    EXPECT_TRUE(s.mailsInFolder("どこにもない").empty());
}

TEST_F(MailStoreTest, AccountsAndOptionsAreUpdatedInPlace) {
    MailStore& s = openStore();
    s.insertAccount({"pop1", "smtp1", "u1", "p1", "e1", "n1", "t1"});
    s.insertAccount({"pop2", "smtp2", "u2", "p2", "e2", "n2", "t2"});
    auto accounts = s.accounts();
    s.setCurrentAccount(accounts[1].id);
    s.clearCurrentAccount();
    s.setCurrentAccount(accounts[0].id);
    s.updateAccount(accounts[1].id, {"pop3", "s", "u", "p", "e", "n", "t"});
    accounts = s.accounts();
    EXPECT_TRUE(accounts[0].cur);
    EXPECT_FALSE(accounts[1].cur);
    EXPECT_EQ(accounts[1].fields.pop, "pop3");
    s.deleteAccount(accounts[0].id);
    EXPECT_EQ(s.accounts().size(), 1u);

    s.setNewsSelected(true);
    s.setVoiceSeconds(45);
    s.setSignature("");
    EXPECT_TRUE(s.news().sel);
    EXPECT_EQ(s.voice().sec, 45);
    EXPECT_EQ(s.signature().signature, "");
}

TEST_F(MailStoreTest, ReopenedStoreKeepsItsContents) {
    openStore().addAddress("名", "x@example.jp");
    store.reset();
    EXPECT_EQ(openStore().addresses().size(), 1u);
    EXPECT_EQ(store->folders().size(), 3u);
}

struct ForeignFile {
    const char* name;
    QByteArray bytes;
};

TEST(MailStoreRefusal, ForeignFilesAreRefusedAndLeftUntouched) {
    QByteArray jet(2048, '\0');
    jet.replace(0, 19, QByteArray("\x00\x01\x00\x00Standard Jet DB", 19));
    QByteArray sqliteOther("SQLite format 3");
    sqliteOther.append('\0');
    const ForeignFile rows[] = {
        {"access", jet},
        {"garbage", QByteArray("this is not a database at all\n").repeated(50)},
        {"truncated sqlite", sqliteOther + QByteArray(100, 'x')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("speak_mail.mdb");
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(row.bytes);
        f.close();
        auto opened = MailStore::open(path);
        ASSERT_FALSE(opened.ok());
        EXPECT_FALSE(opened.failure().reason.isEmpty());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), row.bytes);
        EXPECT_FALSE(QFile::exists(path + "-wal"));
    }
}

TEST_F(MailStoreTest, OneAccountsMailsGoInTogetherOrNotAtAll) {
    MailStore& s = openStore();
    const QDateTime now = QDateTime::currentDateTime();
    // A mail without a From header gives a null text: stored as empty, not refused.
    const std::vector<int> ids =
        s.insertReceivedMails({{now, "/m/a.eml", QString(), "件名", "本文", QString()},
                               {now, "/m/b.eml", "b", QString(), QString(), ""}});
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(s.mailCount(kReceivedFolder), 2);
    EXPECT_EQ(s.storedMailFileNames(), (QSet<QString>{"a.eml", "b.eml"}));

    OtherConnection other(dir.filePath("speak_mail.mdb"));
    ASSERT_TRUE(
        other.exec("CREATE TRIGGER refuse BEFORE INSERT ON mail WHEN NEW.subject = 'boom'"
                   " BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    EXPECT_THROW(s.insertReceivedMails(
                     {{now, "c.eml", "c", "fine", "", ""}, {now, "d.eml", "d", "boom", "", ""}}),
                 StoreError);
    EXPECT_EQ(s.mailCount(kReceivedFolder), 2);
    EXPECT_FALSE(s.storedMailFileNames().contains("c.eml"));
}

TEST_F(MailStoreTest, ArrowReadingIsOnUntilTurnedOffAndOlderStoresOpen) {
    EXPECT_TRUE(openStore().readsRowOnArrows());
    store->setReadsRowOnArrows(false);
    store.reset();
    EXPECT_FALSE(openStore().readsRowOnArrows());
    store.reset();
    {
        // A store from before the choice could be kept.
        OtherConnection older(dir.filePath("speak_mail.mdb"));
        ASSERT_TRUE(older.exec("DROP TABLE preference"));
    }
    EXPECT_TRUE(openStore().readsRowOnArrows());
    EXPECT_EQ(store->folders().size(), 3u);
}

TEST_F(MailStoreTest, StoreFilesAreForTheOwnerAlone) {
    const QString path = dir.filePath("speak_mail.mdb");
    openStore().addAddress("名", "x@example.jp");
    for (const QString& file : MailStore::storeFiles(path)) {
        SCOPED_TRACE(file.toStdString());
        ASSERT_TRUE(QFile::exists(file));
        EXPECT_EQ(modeOf(file), 0600);
    }
    store.reset();
    ::chmod(QFile::encodeName(path).constData(), 0644);
    openStore();
    EXPECT_EQ(modeOf(path), 0600);
}

TEST_F(MailStoreTest, ALockedStoreIsReportedInJapanese) {
    MailStore& s = openStore();
    OtherConnection other(dir.filePath("speak_mail.mdb"));
    ASSERT_TRUE(other.exec("BEGIN EXCLUSIVE"));
    try {
        s.setSignature("署名");  // waits for the lock a while, then gives up
        ADD_FAILURE() << "the write went through a held lock";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.reason(),
                  "メールストアをほかのプログラムが使っているため、読み書きできませんでした。"
                  "しばらくしてからもう一度お試しください");
        EXPECT_EQ(error.failure().kind, orvane::FailureKind::Store);
    }
    other.exec("ROLLBACK");
    s.setSignature("署名");
    EXPECT_EQ(s.signature().signature, "署名");
}
