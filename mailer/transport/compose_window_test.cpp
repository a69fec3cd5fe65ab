// Composing, replying and the address book through the keys of the real main
// window: what is spoken, shown and handed to the mail component.
#include "compose_test_support.h"

#include "address_book.h"
#include "compose_fields.h"
#include "reply.h"

#include <QLabel>
#include <QListWidget>

using namespace orvane;
using namespace orvane::mailer;
using namespace orvane::mailer::test;

namespace {

const QString kSignature = "山田太郎\nyamada@example.jp";
const QString kSubjectPrompt = "メール件名を入力してください";

// The arguments of every SendMail handed to the mail component.
QList<QStringList> sends(const MailerHome& home) {
    QList<QStringList> found;
    for (const auto& call : home.mailFake->calls) {
        if (call.method == "SendMail") {
            found << call.args;
        }
    }
    return found;
}

class ComposeWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
        home.store().setSignature(kSignature);
    }
    QLineEdit* mailto() const { return home.control<QLineEdit>("mailto"); }
    QLineEdit* subject() const { return home.control<QLineEdit>("subject"); }
    QTextEdit* body() const { return home.control<QTextEdit>("body"); }

    MailerHome home;
};

TEST_F(ComposeWindow, CtrlRRepliesToTheCurrentMailAndEscSendsItWithTheCurrentAccount) {
    // Start-up's mail check leaves the working POP values at this one.
    home.addAccount("pop3://127.0.0.1:2", "other@example.jp", false, "other", "secret");
    home.store().insertReceivedMail({QDateTime::currentDateTime(), "1.eml",
                                     "Taro Yamada <taro@example.jp>", "会議", "本文",
                                     "/mail/声.mp3"});
    MainWindow& w = home.start();
    ASSERT_TRUE(home.focus(body()));
    const QStringList noRecipient{"送信先が入力されていません"};
    EXPECT_EQ(press(home, body(), Qt::Key_Enter, Qt::KeypadModifier), noRecipient);
    EXPECT_EQ(press(home, body(), Qt::Key_Escape), noRecipient);

    // Start-up leaves the cursor on the header row.
    QTableView* grid = home.grid();
    ASSERT_TRUE(home.focus(grid));
    mailto()->setText("kept@example.jp");
    EXPECT_EQ(press(home, grid, Qt::Key_R, Qt::ControlModifier),
              QStringList{"メールが選択されていません"});
    EXPECT_EQ(mailto()->text(), "kept@example.jp");

    w.mailList().setCurrentCell(1, 2);
    EXPECT_EQ(press(home, grid, Qt::Key_R, Qt::ControlModifier),
              (QStringList{"[返信]メール：アドレスと件名を自動入力しました",
                           "メール本文を入力してください"}));
    ASSERT_TRUE(waitForFocus(body()));
    EXPECT_EQ(mailto()->text(), "taro@example.jp");
    EXPECT_EQ(subject()->text(), "Re: ♪　会議");
    EXPECT_EQ(body()->toPlainText(), "\n" + kSignature);

    EXPECT_EQ(press(home, body(), Qt::Key_Escape),
              (QStringList{"メールを送信します", "メールをtaro@example.jpへ送信しました"}));
    EXPECT_EQ(sends(home),
              (QList<QStringList>{{"smtp://127.0.0.1:1", "taro@example.jp", "me@example.jp",
                                   "Re: ♪　会議", "\n" + kSignature, "", "testuser"}}));
    // The POP login before sending is the current account's.
    const auto& calls = home.mailFake->calls;
    const auto login = std::find_if(calls.begin(), calls.end(),
                                    [](const auto& call) { return call.args.value(3) == "LIST"; });
    ASSERT_NE(login, calls.end());
    EXPECT_EQ(login->args.mid(0, 3), (QStringList{"pop3://127.0.0.1:1", "testuser", "testpass"}));
}

TEST(ReplyAddress, TakesTheBracketedAddressOnlyWhenTheBracketsStandInOrder) {
    struct Row {
        const char* name;
        QString sender;
        QString address;
    };
    const Row rows[] = {
        {"display name and address", "Taro Yamada <taro@example.jp>", "taro@example.jp"},
        {"bare address with a blank left by an older receive", " taro@example.jp",
         "taro@example.jp"},
        {"only the first pair counts", "a <b@example.jp> <c@example.jp>", "b@example.jp"},
        {"closing bracket first: the whole text", "x> y <z@example.jp", "x> y <z@example.jp"},
        {"no closing bracket", "Taro <taro@example.jp", "Taro <taro@example.jp"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(replyAddress(row.sender), row.address);
    }
}

TEST(ComposeWindowWithoutACurrentAccount, EscSaysSoAndSendsNothing) {
    MailerHome home;
    home.addAccount("pop3://127.0.0.1:1", "me@example.jp", false);
    home.start();
    auto* body = home.control<QTextEdit>("body");
    ASSERT_TRUE(home.focus(body));
    home.control<QLineEdit>("mailto")->setText("tanaka@example.jp");
    EXPECT_EQ(
        press(home, body, Qt::Key_Escape),
        (QStringList{"メールを送信します",
                     "メールを送信できませんでした：送信に使うアカウントが設定されていません"}));
    EXPECT_TRUE(sends(home).isEmpty());
}

TEST_F(ComposeWindow, LeavingTheRecipientCompletesFromTheBookTakingTheTypedTextLiterally) {
    home.store().addAddress(" ", "a_b@example.jp");
    home.start();
    // Wildcards and quotes in the lookup itself are the store's tests, a
    // completion naming its person the compose server story's; here, what is
    // said and kept.
    struct Row {
        const char* name;
        QString typed;
        QString field;
        QString person;  // said before the address
    };
    const Row rows[] = {
        {"no match stays as typed", "zz@example.jp", "zz@example.jp", ""},
        {"a blank name says only the address", "a_", "a_b@example.jp", ""},
        {"an empty field says nothing", "", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(home.focus(mailto()));
        typeText(mailto(), row.typed);
        QStringList said = row.person.isEmpty() ? QStringList{} : QStringList{row.person};
        if (!row.field.isEmpty()) {
            // Speech leaves rulers out: "_" is heard as a pause.
            said << Announcer::spokenForm("[送信先アドレスは]" + row.field);
        }
        EXPECT_EQ(press(home, mailto(), Qt::Key_Tab), said << kSubjectPrompt);
        EXPECT_EQ(mailto()->text(), row.field);
    }

    // The maintainers' address gets its subject and the user goes on to the body.
    ASSERT_TRUE(home.focus(mailto()));
    typeText(mailto(), kInquiryAddress);
    EXPECT_EQ(press(home, mailto(), Qt::Key_Tab),
              (QStringList{"[送信先アドレスは]" + kInquiryAddress, "件名は" + kInquirySubject,
                           "メール本文を入力してください"}));
    EXPECT_EQ(subject()->text(), kInquirySubject);
}

TEST_F(ComposeWindow, TheAddressBookSpeaksDeletesLiterallyAndStartsAMail) {
    home.store().addAddress("山田 ", "yamada@example.jp");
    home.store().addAddress("名前::コロン", "colon@example.jp");
    home.store().addAddress("オハラ", "o'hara%_x@example.jp");
    home.store().addAddress("オハラ2", "o'hara%_x@example.jp");
    home.store().addAddress("似た人", "o'haraXYx@example.jp");
    MainWindow& w = home.start();
    auto* list = home.control<QListWidget>("List2");
    EXPECT_EQ(home.saidDuring([&] { w.menuAction("t_address")->trigger(); }),
              (QStringList{"アドレス帳編集", "アドレス帳"}));
    ASSERT_TRUE(waitForFocus(list));
    EXPECT_EQ(home.control<QLabel>("shortcut02")->text(), "[矢印:選択 DEL:削除 ESC:メール送信 ]");

    list->setCurrentRow(-1);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Delete}) {
        EXPECT_EQ(press(home, list, key), QStringList{kNoAddressSelected});
    }
    EXPECT_EQ(list->count(), 5);

    // ENTER says the address only.
    list->setCurrentRow(1);
    EXPECT_EQ(press(home, list, Qt::Key_Return), QStringList{"o'hara% x@example.jp"});
    // DEL removes every row of that address and no other; the user stays there.
    EXPECT_EQ(press(home, list, Qt::Key_Delete), QStringList{"アドレス削除しました"});
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries << list->item(i)->text();
    }
    EXPECT_EQ(entries,
              (QStringList{"colon@example.jp::名前::コロン:::2", "o'haraXYx@example.jp::似た人:::5",
                           "yamada@example.jp::山田 :::1"}));
    EXPECT_EQ(home.store().addresses().size(), 3u);
    EXPECT_EQ(list->currentRow(), 1);

    // ESC starts a mail to it, in the subject field.
    EXPECT_EQ(press(home, list, Qt::Key_Escape),
              (QStringList{"件名を入力してください", kSubjectPrompt}));
    ASSERT_TRUE(waitForFocus(subject()));
    EXPECT_EQ(mailto()->text(), "o'haraXYx@example.jp");
    EXPECT_EQ(subject()->text(), "");
    EXPECT_EQ(body()->toPlainText(), "\n" + kSignature);
    EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), "o'haraXYx@example.jpへのメール送信");
}

}  // namespace
