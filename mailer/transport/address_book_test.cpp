#include "compose_test_support.h"

using namespace orvane::mailer;

namespace {

class AddressBookTest : public ComposeTest {
  protected:
    QStringList entries() const {
        QStringList texts;
        for (int i = 0; i < List2->count(); ++i) {
            texts << List2->item(i)->text();
        }
        return texts;
    }
    void select(const QString& address) {
        for (int i = 0; i < List2->count(); ++i) {
            if (AddressBook::addressOfEntry(List2->item(i)->text()) == address) {
                List2->setCurrentRow(i);
                return;
            }
        }
        FAIL() << address.toStdString();
    }
};

TEST_F(AddressBookTest, ListsEveryAddressInOrderAndReadsOnlyTheAddressPart) {
    store->addAddress("山田 ", "yamada@example.jp");
    store->addAddress("名前::コロン", "colon@example.jp");
    store->addAddress(" ", "a-b@example.jp");
    book->load_address_list();
    EXPECT_EQ(entries(), (QStringList{"a-b@example.jp:: :::3", "colon@example.jp::名前::コロン:::2",
                                      "yamada@example.jp::山田 :::1"}));

    ASSERT_TRUE(focusOn(List2));
    EXPECT_EQ(focus.input_mode(), kModeAddressBook);
    EXPECT_EQ(shortcut02->text(), "[矢印:選択 DEL:削除 ESC:メール送信 ]");
    EXPECT_EQ(cmd_message->text(), "アドレス帳");
    EXPECT_EQ(spoken().last(), "アドレス帳");

    for (const QString address : {"colon@example.jp", "a-b@example.jp"}) {
        select(address);
        const qsizetype before = mark();
        book->speakSelected();
        EXPECT_EQ(spokenSince(before), QStringList{Announcer::spokenForm(address)});
    }
}

TEST_F(AddressBookTest, DeleteRemovesEveryRowWithThatAddressWhateverItHolds) {
    const QString odd = "o'hara%_x@example.jp";
    store->addAddress("オハラ", odd);
    store->addAddress("オハラ2", odd);
    store->addAddress("似た人", "o'haraXYx@example.jp");
    store->addAddress("最後", "zz@example.jp");
    book->load_address_list();
    ASSERT_TRUE(focusOn(List2));
    select(odd);
    const qsizetype before = mark();
    book->deleteSelected();
    EXPECT_EQ(spokenSince(before), QStringList{"アドレス削除しました"});
    EXPECT_EQ(entries(),
              (QStringList{"o'haraXYx@example.jp::似た人:::3", "zz@example.jp::最後:::4"}));
    EXPECT_EQ(store->addresses().size(), 2u);
    // The user stays where the entry was.
    EXPECT_EQ(book->selectedAddress(), "o'haraXYx@example.jp");
}

TEST_F(AddressBookTest, EscapeStartsAMailToTheAddressInTheSubjectField) {
    store->addAddress("花子", "hanako@example.jp");
    store->addAddress("窓口", kInquiryAddress);
    book->load_address_list();
    ASSERT_TRUE(focusOn(List2));
    select("hanako@example.jp");
    subject->setText("old");
    qsizetype before = mark();
    book->mailToSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return subject->hasFocus(); }, 2000));
    EXPECT_EQ(mailto->text(), "hanako@example.jp");
    EXPECT_EQ(subject->text(), "");
    EXPECT_EQ(body->toPlainText(), "\n" + state.signature);
    EXPECT_EQ(cmd_message->text(), "hanako@example.jpへのメール送信");
    EXPECT_EQ(spokenSince(before),
              (QStringList{"件名を入力してください", "メール件名を入力してください"}));

    // The maintainers' address gets its subject and goes on to the body.
    ASSERT_TRUE(focusOn(List2));
    select(kInquiryAddress);
    book->mailToSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return body->hasFocus(); }, 2000));
    EXPECT_EQ(subject->text(), kInquirySubject);
}

TEST_F(AddressBookTest, WithoutAnEntryEnterAndDeleteSaySoAndEscapeStartsAnEmptyMail) {
    store->addAddress("花子", "hanako@example.jp");
    ASSERT_TRUE(focusOn(List2));  // filled after the list had the focus: nothing current
    book->load_address_list();
    ASSERT_EQ(List2->currentItem(), nullptr);
    for (const auto& action : {&AddressBook::speakSelected, &AddressBook::deleteSelected}) {
        const qsizetype before = mark();
        (*book.*action)();
        EXPECT_EQ(spokenSince(before), QStringList{kNoAddressSelected});
    }
    EXPECT_EQ(store->addresses().size(), 1u);

    mailto->setText("old@example.jp");
    book->mailToSelected();
    ASSERT_TRUE(QTest::qWaitFor([&] { return subject->hasFocus(); }, 2000));
    EXPECT_EQ(mailto->text(), "");
}

TEST_F(AddressBookTest, KeysInTheListGoToTheHandlerAndTheMenuItemGoesToTheList) {
    store->addAddress("花子", "hanako@example.jp");
    book->load_address_list();
    QList<AddressBookKey> pressed;
    book->onKey([&](AddressBookKey key) { pressed << key; });
    ASSERT_TRUE(focusOn(mailList));
    qsizetype before = mark();
    book->t_address_Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return List2->hasFocus(); }, 2000));
    EXPECT_EQ(spokenSince(before), (QStringList{"アドレス帳編集", "アドレス帳"}));
    QTest::keyClick(List2, Qt::Key_Return);
    QTest::keyClick(List2, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(List2, Qt::Key_Escape);
    QTest::keyClick(List2, Qt::Key_Down);
    EXPECT_EQ(pressed, (QList<AddressBookKey>{AddressBookKey::Enter, AddressBookKey::Delete,
                                              AddressBookKey::Escape}));
}

}  // namespace
