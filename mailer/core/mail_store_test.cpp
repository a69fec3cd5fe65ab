#include "mail_store.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

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
const QStringList kAwkward = {"O'Reilly \"quoted\" '; DROP TABLE mail; --",
                              "100% _under_ \\back\\slash", "日本語の件名〜～①絵文字😀🎉", ""};

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

}  // namespace

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

TEST_F(MailStoreTest, AStoreFromBeforeTheArrowChoiceOpensWithItOn) {
    openStore();
    store.reset();
    {
        OtherConnection older(dir.filePath("speak_mail.mdb"));
        ASSERT_TRUE(older.exec("DROP TABLE preference"));
    }
    EXPECT_TRUE(openStore().readsRowOnArrows());
    EXPECT_EQ(store->folders().size(), 3u);
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
