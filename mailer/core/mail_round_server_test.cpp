// A whole round through the keys of the real window, the real mail component
// and real servers on 127.0.0.1 (Dovecot with STLS, the SMTP sink with
// STARTTLS and AUTH): receive, read, reply, receive the reply back, file it,
// delete another. After every step the store and what was said agree.
#include "window_test_support.h"

#include "dovecot_server.h"
#include "mail_client.h"
#include "smtp_sink_server.h"
#include "transport_test_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using mail::test::certificate;
using mail::test::loopback;
using orvane::mailer::test::MailerHome;
using orvane::testing::DovecotServer;
using orvane::testing::SmtpSinkServer;

namespace {

QByteArray utf8Mail(const QString& fromName, const QString& address, const QString& subject,
                    const QString& body) {
    const auto encoded = [](const QString& text) { return QString(text.toUtf8().toBase64()); };
    return QStringLiteral(
               "From: =?UTF-8?B?%1?= <%2>\r\nTo: testuser@example.jp\r\n"
               "Subject: =?UTF-8?B?%3?=\r\nMIME-Version: 1.0\r\n"
               "Content-Type: text/plain; charset=UTF-8\r\n"
               "Content-Transfer-Encoding: 8bit\r\n\r\n%4\r\n")
        .arg(encoded(fromName), address, encoded(subject), body)
        .toUtf8();
}

class MailRound : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(certificate().ok()) << certificate().error().toStdString();
        ASSERT_TRUE(pop.start()) << pop.error().toStdString();
        ASSERT_TRUE(smtp.start()) << smtp.error().toStdString();
        home.createComponent = [] {
            return std::make_unique<mail::MailClient>(mail::test::quickOptions());
        };
        home.store().insertAccount({loopback(pop.pop3Port()), loopback(smtp.port()),
                                    DovecotServer::user(), DovecotServer::password(),
                                    "testuser@example.jp", "テスト", "表題"});
        home.store().setCurrentAccount(home.store().accounts().front().id);
        home.store().setSignature("テスト太郎");
    }

    QTableView* grid() const { return home.grid(); }
    QListWidget* folderList() const { return home.control<QListWidget>("List1"); }

    // The grid row listing `subject`, or -1.
    int rowOf(const QString& subject) const {
        QAbstractItemModel* model = grid()->model();
        for (int row = 1; row < model->rowCount(); ++row) {
            if (model->index(row, 2).data().toString() == subject) {
                return row;
            }
        }
        return -1;
    }
    // Each folder's mails as "folder: subject, subject*" (sorted; * unread).
    QString storedMails() {
        QStringList folders;
        for (const Folder& folder : home.store().folders()) {
            QStringList mails;
            for (const MailListRow& mail : home.store().mailsInFolder(folder.name)) {
                mails << mail.subject + (mail.readflag == kUnread ? "*" : "");
            }
            mails.sort();
            folders << folder.name + ": " + mails.join(", ");
        }
        return folders.join(" | ");
    }
    QStringList press(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        return home.saidDuring([&] { QTest::keyClick(widget, key, modifiers); });
    }
    static bool waitForFocus(QWidget* widget) {
        return QTest::qWaitFor([widget] { return widget->hasFocus(); }, 5000);
    }

    DovecotServer pop{DovecotServer::Options{certificate().certFile(), certificate().keyFile()}};
    SmtpSinkServer smtp{{certificate().certFile(), certificate().keyFile(), true}};
    MailerHome home;
};

TEST_F(MailRound, ReceiveReadReplyReceiveTheReplyFileItAndDeleteAnother) {
    const QString meetingBody = "明日の会議は十時からです。資料をお持ちください。";
    ASSERT_TRUE(pop.deliver(utf8Mail("佐藤 花子", "sato@example.jp", "会議の件", meetingBody)));
    ASSERT_TRUE(
        pop.deliver(utf8Mail("鈴木", "suzuki@example.jp", "お知らせ", "読んだら消してください。")));

    // Start-up receives both and says so.
    MainWindow& w = home.start();
    QStringList said = home.spoken();
    ASSERT_GE(said.size(), 3) << said.join(" / ").toStdString();
    EXPECT_EQ(said.mid(1, 2), (QStringList{"メールが届いています[メールの数は]2", "メール数は2"}));
    EXPECT_EQ(QSet<QString>(said.begin() + 3, said.end()), (QSet<QString>{"会議の件", "お知らせ"}));
    EXPECT_EQ(storedMails(), "受信フォルダー: お知らせ*, 会議の件* | 保存フォルダー:  | ゴミ箱: ");
    EXPECT_EQ(pop.messageCount(), 0);

    // Read the meeting mail.
    ASSERT_TRUE(home.focus(grid()));
    w.mailList().setCurrentCell(rowOf("会議の件"), 1);
    // The transcript writes a line break as "\n".
    EXPECT_EQ(press(grid(), Qt::Key_Return), (QStringList{"会議の件", meetingBody + "\\n"}));
    EXPECT_EQ(home.control<QTextEdit>("bodytext")->toPlainText().trimmed(), meetingBody);
    EXPECT_EQ(storedMails(), "受信フォルダー: お知らせ*, 会議の件 | 保存フォルダー:  | ゴミ箱: ");

    // Reply with ESC, write a line, send with ESC.
    press(grid(), Qt::Key_Escape);
    auto* body = home.control<QTextEdit>("body");
    ASSERT_TRUE(waitForFocus(body));
    EXPECT_EQ(home.control<QLineEdit>("mailto")->text(), "sato@example.jp");
    EXPECT_EQ(home.control<QLineEdit>("subject")->text(), "Re: 会議の件");
    QInputMethodEvent typed;
    typed.setCommitString("承知しました。");
    QApplication::sendEvent(body, &typed);
    said = press(body, Qt::Key_Escape);
    EXPECT_EQ(said.last(), "メールをsato@example.jpへ送信しました")
        << said.join(" / ").toStdString();
    const auto captured = smtp.captured();
    ASSERT_EQ(captured.size(), 1);
    EXPECT_EQ(captured[0].envelope.value("rcpt_tos").toArray(), QJsonArray{"sato@example.jp"});

    // The reply comes back through the mailbox. A new mail is begun and left
    // empty, so that receiving sends nothing again.
    ASSERT_TRUE(pop.deliver(captured[0].message));
    QTest::keyClick(body, Qt::Key_N, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(home.control<QLineEdit>("mailto")));
    QTest::keyClick(home.control<QLineEdit>("mailto"), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(grid()));
    said = press(grid(), Qt::Key_M, Qt::ControlModifier);
    EXPECT_EQ(said, QStringList{"1通のメールを受信しました"});
    EXPECT_EQ(smtp.captured().size(), 1);
    EXPECT_EQ(storedMails(),
              "受信フォルダー: Re: 会議の件*, お知らせ*, 会議の件 | 保存フォルダー:  | ゴミ箱: ");
    const MailListRow reply = home.store().mailsInFolder(kReceivedFolder).front();
    EXPECT_TRUE(reply.mailfrom.contains("testuser@example.jp"));
    EXPECT_TRUE(home.store().mailBody(reply.id)->body.contains("承知しました。"));

    // The list is refilled by choosing the received folder.
    QTest::keyClick(grid(), Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(press(folderList(), Qt::Key_Down), QStringList{kReceivedFolder});
    EXPECT_EQ(press(folderList(), Qt::Key_Return), (QStringList{kReceivedFolder, "メール数は3"}));
    EXPECT_EQ(grid()->model()->rowCount(), 4);
    EXPECT_EQ(rowOf("Re: 会議の件"), 1);  // the newest

    // File the reply.
    QTest::keyClick(folderList(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(grid()));
    w.mailList().setCurrentCell(rowOf("Re: 会議の件"), 1);
    said = press(grid(), Qt::Key_Space);
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(said,
              QStringList{"フォルダ メール移動操作 矢印キーで選択してINSキーを押してください"});
    EXPECT_EQ(press(folderList(), Qt::Key_Down), QStringList{"保存フォルダー"});
    EXPECT_EQ(press(folderList(), Qt::Key_Insert),
              QStringList{"メールをフォルダー[保存フォルダー]に移動しました"});
    EXPECT_EQ(storedMails(),
              "受信フォルダー: お知らせ*, 会議の件 | 保存フォルダー: Re: 会議の件* | ゴミ箱: ");
    EXPECT_EQ(home.store().mailsInFolder("保存フォルダー").front().id, reply.id);
    EXPECT_EQ(rowOf("Re: 会議の件"), -1);

    // Delete the notice.
    QTest::keyClick(folderList(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(grid()));
    w.mailList().setCurrentCell(rowOf("お知らせ"), 1);
    EXPECT_EQ(press(grid(), Qt::Key_Delete), QStringList{"メールを削除しました"});
    EXPECT_EQ(storedMails(), "受信フォルダー: 会議の件 | 保存フォルダー: Re: 会議の件* | ゴミ箱: ");
    EXPECT_EQ(grid()->model()->rowCount(), 2);
    EXPECT_EQ(rowOf("会議の件"), 1);

    // The saved folder lists the reply, still unread.
    QTest::keyClick(grid(), Qt::Key_Y, Qt::ControlModifier);
    ASSERT_TRUE(waitForFocus(folderList()));
    EXPECT_EQ(press(folderList(), Qt::Key_Return), (QStringList{"保存フォルダー", "メール数は1"}));
    EXPECT_TRUE(grid()->model()->index(1, 2).data(MailListModel::kUnreadRole).toBool());
}

}  // namespace
