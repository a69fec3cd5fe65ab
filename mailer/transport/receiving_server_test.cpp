// Start-up and receiving through the real window, the real mail component
// and a private Dovecot on 127.0.0.1.
#include "compose_test_support.h"

#include "dovecot_server.h"
#include "mail_client.h"
#include "mail_folder_writer.h"
#include "transport_test_support.h"

#include <QProcess>

using namespace orvane;
using namespace orvane::mailer;
using namespace orvane::mailer::test;
using orvane::testing::DovecotServer;

namespace {

QByteArray plainMail(const QString& subject, const QByteArray& body) {
    return mailToTestUser("From: " + encodedWord("佐藤 花子") +
                              " <sato@example.jp>\r\nSubject: " + encodedWord(subject) +
                              "\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                              "Content-Transfer-Encoding: 8bit\r\n",
                          body);
}

// Subject, sender name and body in ISO-2022-JP, as many Japanese mailers write.
QByteArray iso2022jpMail() {
    return mailToTestUser(
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQiAbJEJCQE86GyhC?= <yamada@example.jp>\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCN29MPiRPRnxLXDhsJEckORsoQg==?=\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
        "Content-Transfer-Encoding: 7bit\r\n",
        QByteArray::fromHex("1b24423b33454424352473212224332473244b2441244f21231b28420d0a1b2442"
                            "32713544244f1b284231301b24423b7e242b24692447243921231b28420d0a"));
}

// Marks that are stored and listed as they are but never heard.
const QString kMarkedSubject = QStringLiteral("会議_10時-\"必ず\"");

QString plain(quint16 port) {
    return QStringLiteral("pop3://127.0.0.1:%1").arg(port);
}

class ReceivingServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pop.start()) << pop.error().toStdString();
        home.createComponent = [] { return mail::createMailComponent(); };
    }

    // Three mails wait: plain UTF-8, ISO-2022-JP, and one with an MP3.
    void deliverThree() {
        ASSERT_TRUE(pop.deliver(plainMail(kMarkedSubject, "明日は-10時-からです_よろしく")));
        ASSERT_TRUE(pop.deliver(iso2022jpMail()));
        ASSERT_TRUE(pop.deliver(voiceMail("音声メッセージ", mp3)));
    }

    QStringList gridColumn(int column) {
        QStringList texts;
        QAbstractItemModel* model = home.grid()->model();
        for (int row = 1; row < model->rowCount(); ++row) {
            texts << model->index(row, column).data().toString();
        }
        return texts;
    }

    DovecotServer pop{DovecotServer::Options{}};
    MailerHome home;
    const QByteArray mp3 = QByteArray::fromHex("fffb9064") + QByteArray(3000, '\x55');
};

}  // namespace

TEST_F(ReceivingServerTest,
       StartUpCountsReceivesListsReadsTheUnreadAndNamesTheAccountItCannotReach) {
    deliverThree();
    home.addAccount(plain(orvane::testing::freeLoopbackPort()), "down@example.jp", false);
    home.addAccount(plain(pop.pop3Port()), "testuser@example.jp");
    home.start();

    const QStringList said = home.spoken();
    ASSERT_EQ(said.size(), 7) << said.join(" / ").toStdString();
    EXPECT_EQ(said[1], "メールが届いています[メールの数は]3");
    // Named once: receiving does not ask the account the check could not reach.
    EXPECT_TRUE(said[2].startsWith("エラー：down@example.jp：")) << said[2].toStdString();
    EXPECT_EQ(said.mid(3), (QStringList{"メール数は3", "♪　音声メッセージ", "件名は日本語です",
                                        "会議 10時 必ず"}));
    EXPECT_EQ(pop.messageCount(), 0);

    // Newest first, all unread, the voice mail marked.
    EXPECT_EQ(gridColumn(2),
              (QStringList{"♪　音声メッセージ", "件名は日本語です", kMarkedSubject}));
    EXPECT_EQ(gridColumn(1), (QStringList{"voice@example.jp", "山田 太郎 <yamada@example.jp>",
                                          "佐藤 花子 <sato@example.jp>"}));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_TRUE(home.grid()->model()->index(row, 2).data(MailListModel::kUnreadRole).toBool());
    }
    EXPECT_EQ(home.grid()->currentIndex(), home.grid()->model()->index(0, 1));

    // Stored exactly as read: the body keeps its marks; the attachment is whole.
    const std::vector<MailListRow> rows = home.store().mailsInFolder(kReceivedFolder);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(home.store().mailBody(rows[2].id)->body.contains("明日は-10時-からです_よろしく"));
    EXPECT_TRUE(home.store().mailBody(rows[1].id)->body.contains("会議は10時からです。"));
    EXPECT_TRUE(rows[0].attach.startsWith(home.mailDir()));
    EXPECT_EQ(mail::test::readFile(rows[0].attach), mp3);

    // Ctrl+M asks both again: the one failure is named after the result.
    ASSERT_TRUE(pop.deliver(plainMail("追加", "本文")));
    const qsizetype mark = home.spoken().size();
    QTest::keyClick(home.grid(), Qt::Key_M, Qt::ControlModifier);
    const QStringList after = home.spokenSince(mark);
    ASSERT_EQ(after.size(), 2) << after.join(" / ").toStdString();
    EXPECT_EQ(after[0], "1通のメールを受信しました");
    EXPECT_TRUE(after[1].startsWith("エラー：down@example.jp："));
    EXPECT_EQ(home.store().mailCount(kReceivedFolder), 4);
}

TEST_F(ReceivingServerTest, MailSavedByARunThatEndedBeforeStoringIsStoredOnceAtTheNextStart) {
    deliverThree();
    // Another process saves the mail (deleting it on the server) and ends
    // without storing it: what the mailer leaves when it is killed between
    // the two.
    QProcess saver;
    saver.start(QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("mailcomp"),
                {"saveall", plain(pop.pop3Port()), DovecotServer::user(), DovecotServer::password(),
                 home.mailDir()});
    ASSERT_TRUE(saver.waitForFinished(60000));
    ASSERT_EQ(saver.exitCode(), 0) << saver.readAllStandardOutput().toStdString();
    ASSERT_EQ(pop.messageCount(), 0);
    // A file put there by hand is no received mail.
    ASSERT_TRUE(QFile(QDir(home.mailDir()).filePath("notes.eml")).open(QIODevice::WriteOnly));

    home.addAccount(plain(pop.pop3Port()), "testuser@example.jp");
    home.start();
    EXPECT_EQ(home.store().mailCount(kReceivedFolder), 3);
    EXPECT_TRUE(home.spoken().contains("新規メールは有りません"));
    EXPECT_TRUE(home.spoken().contains("メール数は3"));

    // Receiving again stores nothing twice.
    QTest::keyClick(home.grid(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(home.spoken().last(), "新規メールは有りません");
    EXPECT_EQ(home.store().mailCount(kReceivedFolder), 3);
    QStringList files;
    for (const QString& name : QDir(home.mailDir()).entryList(QDir::Files)) {
        if (mail::isReceivedMailFile(name)) {
            files << name;
        }
    }
    EXPECT_EQ(files.size(), 3);
    EXPECT_EQ(home.store().storedMailFileNames(), QSet<QString>(files.begin(), files.end()));
}
