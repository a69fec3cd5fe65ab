#include "compose_test_support.h"

#include <QFocusEvent>

using namespace orvane::mailer;

namespace {

const QString kFresh = "\n山田太郎\nyamada@example.jp";

TEST_F(ComposeTest, AWholeMailSpeaksEachPromptAndWhatEachFieldHolds) {
    store->addAddress("田中花子", "tanaka@example.jp");
    mailto->setText("left over from the last mail");
    subject->setText("old subject");
    ASSERT_TRUE(focusOn(mailList));

    const qsizetype start = mark();
    compose->msg_create_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mailto->hasFocus(); }, 2000));
    EXPECT_EQ(mailto->text(), "");
    EXPECT_EQ(focus.input_mode(), kModeAddressOrSubject);
    EXPECT_EQ(mailto->palette().color(QPalette::Base), focus_color);
    EXPECT_EQ(shortcut02->text(), "[TAB:次 ]");
    EXPECT_EQ(cmd_message->text(), "送信メール入力");

    typeText(mailto, "ta");
    ASSERT_TRUE(tabFrom(mailto, subject));
    EXPECT_EQ(mailto->text(), "tanaka@example.jp");
    EXPECT_EQ(mailto->palette().color(QPalette::Base), normal_color);
    EXPECT_EQ(subject->text(), "");

    typeText(subject, "会議の件");
    ASSERT_TRUE(tabFrom(subject, body));
    EXPECT_EQ(focus.input_mode(), kModeBody);
    EXPECT_EQ(shortcut02->text(), "[INS:音声録音 ENTER:作成したメールの確認 ESC:メール送信 ]");
    EXPECT_EQ(body->toPlainText(), kFresh);

    // The user writes on the empty first line, above the signature.
    typeText(body, "明日です");
    EXPECT_EQ(compose->composed().body, "明日です" + kFresh);
    EXPECT_EQ(compose->composed().to, "tanaka@example.jp");
    EXPECT_EQ(compose->composed().subject, "会議の件");
    ASSERT_TRUE(focusOn(mailList));

    EXPECT_EQ(spokenSince(start), (QStringList{
                                      "送信先を入力してください",
                                      "田中花子",
                                      "[送信先アドレスは]tanaka@example.jp",
                                      "メール件名を入力してください",
                                      "件名は会議の件",
                                      "メール本文を入力してください",
                                      "本文は25文字です",
                                  }));
}

TEST_F(ComposeTest, LeavingTheRecipientCompletesFromTheBookTakingTheTypedTextLiterally) {
    store->addAddress("田中花子", "tanaka@example.jp");
    store->addAddress("百", "100%off@example.jp");
    store->addAddress(" ", "a_b@example.jp");
    store->addAddress("オハラ", "o'hara@example.jp");
    struct Row {
        const char* name;
        QString typed;
        QString field;
        QStringList said;
    };
    const Row rows[] = {
        {"a prefix completes and names the person",
         "tan",
         "tanaka@example.jp",
         {"田中花子", "[送信先アドレスは]tanaka@example.jp"}},
        {"no match stays as typed",
         "zz@example.jp",
         "zz@example.jp",
         {"[送信先アドレスは]zz@example.jp"}},
        {"a percent sign is a plain character",
         "100%",
         "100%off@example.jp",
         {"百", "[送信先アドレスは]100%off@example.jp"}},
        {"a percent sign matches nothing else", "%", "%", {"[送信先アドレスは]%"}},
        {"an underscore is a plain character", "axb", "axb", {"[送信先アドレスは]axb"}},
        {"a blank name says only the address",
         "a_",
         "a_b@example.jp",
         {"[送信先アドレスは]a_b@example.jp"}},
        {"a quote breaks nothing",
         "o'h",
         "o'hara@example.jp",
         {"オハラ", "[送信先アドレスは]o'hara@example.jp"}},
        {"an empty field says nothing", "", "", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(focusOn(mailto));
        typeText(mailto, row.typed);
        const qsizetype before = mark();
        ASSERT_TRUE(focusOn(mailList));
        EXPECT_EQ(mailto->text(), row.field);
        QStringList expected;
        for (const QString& text : row.said) {
            expected << Announcer::spokenForm(text);
        }
        EXPECT_EQ(spokenSince(before), expected);
    }
}

TEST_F(ComposeTest, TheInquiryAddressGoesStraightToTheBodyWithItsSubject) {
    ASSERT_TRUE(focusOn(mailto));
    typeText(mailto, kInquiryAddress);
    const qsizetype before = mark();
    QTest::keyClick(mailto, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return body->hasFocus(); }, 2000));
    EXPECT_EQ(subject->text(), kInquirySubject);
    EXPECT_EQ(focus.input_mode(), kModeBody);
    EXPECT_EQ(subject->palette().color(QPalette::Base), normal_color);
    EXPECT_EQ(body->toPlainText(), kFresh);
    EXPECT_EQ(spokenSince(before),
              (QStringList{"[送信先アドレスは]" + kInquiryAddress, "件名は依頼、問い合わせ",
                           "メール本文を入力してください"}));
}

TEST_F(ComposeTest, EnteringAFieldAgainStartsItAfreshButAMenuOrAnotherWindowDoesNot) {
    ASSERT_TRUE(focusOn(body));
    typeText(body, "書きかけ");
    ASSERT_TRUE(focusOn(mailList));
    ASSERT_TRUE(focusOn(body));
    EXPECT_EQ(body->toPlainText(), kFresh);

    // Ctrl+N while already in the recipient field still starts a new mail.
    ASSERT_TRUE(focusOn(mailto));
    typeText(mailto, "someone");
    qsizetype before = mark();
    compose->msg_create_Click();
    EXPECT_EQ(mailto->text(), "");
    EXPECT_EQ(spokenSince(before), QStringList{"送信先を入力してください"});

    // A menu, the menu bar or another window takes the focus and gives it back.
    for (QWidget* field : std::initializer_list<QWidget*>{mailto, subject, body}) {
        ASSERT_TRUE(focusOn(field));
        typeText(field, "kept");
        const QString held =
            field == body ? body->toPlainText() : static_cast<QLineEdit*>(field)->text();
        for (const Qt::FocusReason reason :
             {Qt::PopupFocusReason, Qt::MenuBarFocusReason, Qt::ActiveWindowFocusReason}) {
            before = mark();
            QFocusEvent out(QEvent::FocusOut, reason);
            QApplication::sendEvent(field, &out);
            QFocusEvent in(QEvent::FocusIn, reason);
            QApplication::sendEvent(field, &in);
            EXPECT_EQ(spokenSince(before), QStringList{}) << reason;
        }
        EXPECT_EQ(field == body ? body->toPlainText() : static_cast<QLineEdit*>(field)->text(),
                  held);
    }
}

TEST_F(ComposeTest, BodyKeysActAndStillReachTheField) {
    QStringList pressed;
    compose->onBodyKey([&](BodyKey key) {
        pressed << (key == BodyKey::Insert ? "INS" : key == BodyKey::Enter ? "ENTER" : "ESC");
        // The read-back hears the body as it was before the key.
        pressed << compose->composed().body;
    });
    ASSERT_TRUE(focusOn(body));
    QTest::keyClick(body, Qt::Key_Insert);
    QTest::keyClick(body, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(body, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(body, Qt::Key_Escape, Qt::ControlModifier);
    QTest::keyClick(body, Qt::Key_A);
    EXPECT_EQ(pressed, (QStringList{"INS", kFresh, "ENTER", kFresh, "ENTER", "\n" + kFresh, "ESC",
                                    "\n\n" + kFresh}));
    EXPECT_EQ(body->toPlainText(), "\n\na" + kFresh);

    // INS records once a recorder is there; until then it says so.
    qsizetype before = mark();
    compose->record_voice();
    EXPECT_EQ(spokenSince(before), QStringList{"この機能はありません"});
    int recordings = 0;
    compose->setRecorder([&] { ++recordings; });
    compose->record_voice();
    EXPECT_EQ(recordings, 1);
}

}  // namespace
