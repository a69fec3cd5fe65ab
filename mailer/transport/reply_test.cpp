#include "reply.h"
#include "compose_test_support.h"

using namespace orvane::mailer;

namespace {

TEST(ReplyAddress, TakesTheBracketedAddressOnlyWhenTheBracketsStandInOrder) {
    struct Row {
        const char* name;
        QString sender;
        QString address;
    };
    const Row rows[] = {
        {"display name and address", "Taro Yamada <taro@example.jp>", "taro@example.jp"},
        {"Japanese name", "山田 太郎 <taro@example.jp>", "taro@example.jp"},
        {"bare address", "taro@example.jp", "taro@example.jp"},
        {"blank left by an older receive", " taro@example.jp", "taro@example.jp"},
        {"only the first pair counts", "a <b@example.jp> <c@example.jp>", "b@example.jp"},
        {"closing bracket first: the whole text", "x> y <z@example.jp", "x> y <z@example.jp"},
        {"no closing bracket", "Taro <taro@example.jp", "Taro <taro@example.jp"},
        {"no opening bracket", "Taro taro@example.jp>", "Taro taro@example.jp>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(replyAddress(row.sender), row.address);
    }
}

class ReplyTest : public ComposeTest {
  protected:
    std::optional<ListedMail> current;
    Reply reply{announcer, *compose, [this] { return current; }};
};

TEST_F(ReplyTest, FillsRecipientAndSubjectFromTheListAndGoesOnInTheBody) {
    struct Row {
        const char* name;
        ListedMail listed;
        QString to;
        QString subject;
    };
    const Row rows[] = {
        {"named sender",
         {"Taro Yamada <taro@example.jp>", "お知らせ"},
         "taro@example.jp",
         "Re: お知らせ"},
        {"with an attachment",
         {"taro@example.jp", "♪　声のメール"},
         "taro@example.jp",
         "Re: ♪　声のメール"},
        {"a reply to a reply",
         {"taro@example.jp", "Re: お知らせ"},
         "taro@example.jp",
         "Re: Re: お知らせ"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(focusOn(mailList));
        current = row.listed;
        const qsizetype before = mark();
        reply.msg_replay_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return body->hasFocus(); }, 2000));
        EXPECT_EQ(mailto->text(), row.to);
        EXPECT_EQ(subject->text(), row.subject);
        EXPECT_EQ(body->toPlainText(), "\n" + state.signature);
        EXPECT_EQ(focus.input_mode(), kModeBody);
        EXPECT_EQ(spokenSince(before),
                  (QStringList{"[返信]メール：アドレスと件名を自動入力しました",
                               "メール本文を入力してください"}));
    }

    // Ctrl+R again from the body itself starts its text afresh too.
    typeText(body, "書きかけ");
    reply.msg_replay_Click();
    EXPECT_EQ(body->toPlainText(), "\n" + state.signature);
}

TEST_F(ReplyTest, WithoutAMailRowNothingIsFilled) {
    ASSERT_TRUE(focusOn(mailList));
    mailto->setText("kept@example.jp");
    current.reset();
    const qsizetype before = mark();
    reply.msg_replay_Click();
    EXPECT_EQ(spokenSince(before), QStringList{kNoMailSelected});
    EXPECT_EQ(cmd_message->text(), kNoMailSelected);
    EXPECT_EQ(mailto->text(), "kept@example.jp");
    EXPECT_TRUE(mailList->hasFocus());
}

}  // namespace
