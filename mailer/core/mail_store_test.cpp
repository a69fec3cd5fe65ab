#include "mail_store.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane::mailer;

namespace {

class MailStoreTest : public ::testing::Test {
  protected:
    MailStore& openStore() {
        auto opened = MailStore::open(dir.filePath("speak_mail.mdb"));
        if (auto* reason = std::get_if<QString>(&opened)) {
            ADD_FAILURE() << reason->toStdString();
        }
        store.emplace(std::move(std::get<MailStore>(opened)));
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
        ASSERT_TRUE(std::holds_alternative<QString>(opened));
        EXPECT_FALSE(std::get<QString>(opened).isEmpty());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), row.bytes);
        EXPECT_FALSE(QFile::exists(path + "-wal"));
    }
}
