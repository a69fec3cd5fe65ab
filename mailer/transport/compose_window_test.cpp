// Composing, replying and the address book through the keys of the real main
// window: what is spoken, shown and handed to the mail component.
#include "window_test_support.h"

#include "fake_mail_component.h"
#include "mail_list.h"

#include <QLineEdit>
#include <QListWidget>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

namespace {

template <typename W>
void waitForFocus(W* widget) {
    ASSERT_TRUE(QTest::qWaitFor([widget] { return widget->hasFocus(); }, 2000));
}

}  // namespace

TEST(ComposeWindow, CtrlNCompletesTheAddressAndEscSendsWhatWasTyped) {
    MailerHome home;
    home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
    home.store().addAddress("田中 ", "tanaka@example.jp");
    home.store().setSignature("-- \n佐藤");
    MainWindow& w = home.start();
    auto* mailto = home.control<QLineEdit>("mailto");
    auto* subject = home.control<QLineEdit>("subject");
    auto* body = home.control<QTextEdit>("body");

    QTest::keyClick(&w, Qt::Key_N, Qt::ControlModifier);
    waitForFocus(mailto);
    const qsizetype mark = home.spoken().size();
    QTest::keyClicks(mailto, "tan");
    QTest::keyClick(mailto, Qt::Key_Tab);
    waitForFocus(subject);
    EXPECT_EQ(mailto->text(), "tanaka@example.jp");
    QTest::keyClicks(subject, "Hello");
    QTest::keyClick(subject, Qt::Key_Tab);
    waitForFocus(body);
    EXPECT_EQ(body->toPlainText(), "\n-- \n佐藤");
    QTest::keyClick(body, Qt::Key_Escape);

    ASSERT_NE(home.mailFake, nullptr);
    const auto sent = std::find_if(home.mailFake->calls.begin(), home.mailFake->calls.end(),
                                   [](const auto& call) { return call.method == "SendMail"; });
    ASSERT_NE(sent, home.mailFake->calls.end());
    EXPECT_EQ(sent->args[1], "tanaka@example.jp");
    EXPECT_EQ(sent->args[2], "me@example.jp");
    EXPECT_EQ(sent->args[3], "Hello");
    EXPECT_EQ(sent->args[4], "\n-- \n佐藤");
    const QStringList said = home.spokenSince(mark);
    EXPECT_TRUE(said.contains("送信先を入力してください") || said.contains("田中 "));
    EXPECT_EQ(said.last(), "メールをtanaka@example.jpへ送信しました");
    // The fields keep their texts.
    EXPECT_EQ(mailto->text(), "tanaka@example.jp");
}

TEST(ComposeWindow, EscInTheBodyWithoutARecipientIsRefusedAloud) {
    MailerHome home;
    home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
    MainWindow& w = home.start();
    auto* body = home.control<QTextEdit>("body");
    body->setFocus();
    waitForFocus(body);
    const qsizetype mark = home.spoken().size();
    QTest::keyClick(body, Qt::Key_Escape);
    EXPECT_EQ(home.spokenSince(mark), QStringList{"送信先が入力されていません"});
    for (const auto& call : home.mailFake->calls) {
        EXPECT_NE(call.method, "SendMail");
    }
    (void)w;
}

TEST(ComposeWindow, CtrlRRepliesToTheCurrentMailAndIsRefusedOnTheHeaderRow) {
    MailerHome home;
    home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
    home.store().insertReceivedMail({QDateTime::currentDateTime(), "1.eml",
                                     "Taro Yamada <taro@example.jp>", "会議", "本文",
                                     "/mail/声.mp3"});
    MainWindow& w = home.start();
    QTableView* grid = home.grid();
    grid->setFocus();
    waitForFocus(grid);

    // Start-up leaves the cursor on the header row.
    qsizetype mark = home.spoken().size();
    QTest::keyClick(grid, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(home.spokenSince(mark), QStringList{"メールが選択されていません"});

    w.mailList().setCurrentCell(1, 2);
    mark = home.spoken().size();
    QTest::keyClick(grid, Qt::Key_R, Qt::ControlModifier);
    auto* body = home.control<QTextEdit>("body");
    waitForFocus(body);
    EXPECT_EQ(home.control<QLineEdit>("mailto")->text(), "taro@example.jp");
    EXPECT_EQ(home.control<QLineEdit>("subject")->text(), "Re: ♪　会議");
    EXPECT_TRUE(home.spokenSince(mark).contains("[返信]メール：アドレスと件名を自動入力しました"));
}

TEST(ComposeWindow, AddressBookIsListedAtStartUpAndItsKeysSpeak) {
    MailerHome home;
    home.store().addAddress("花子", "hanako@example.jp");
    home.store().addAddress(" ", "50%_o'neil@example.jp");
    MainWindow& w = home.start();
    auto* list = home.control<QListWidget>("List2");
    ASSERT_EQ(list->count(), 2);

    w.menuAction("t_address")->trigger();
    waitForFocus(list);
    list->setCurrentRow(-1);
    qsizetype mark = home.spoken().size();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(home.spokenSince(mark), QStringList{"アドレスが選択されていません"});

    list->setCurrentRow(0);
    mark = home.spoken().size();
    QTest::keyClick(list, Qt::Key_Return);
    // Speech leaves rulers out: "_" is heard as a pause.
    EXPECT_EQ(home.spokenSince(mark), QStringList{"50% o'neil@example.jp"});
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(home.store().addresses().size(), 1u);
}
