#include "mail_address.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

TEST(MailAddress, FieldsBecomeCheckedMailboxes) {
    struct Row {
        const char* name;
        QString field;
        QStringList addresses;
        QString header;  // what the To header is made from
    };
    const Row rows[] = {
        {"bare address", " hanako@example.jp ", {"hanako@example.jp"}, "hanako@example.jp"},
        {"Japanese display name",
         "山田 太郎 <yamada@example.jp>",
         {"yamada@example.jp"},
         "山田 太郎 <yamada@example.jp>"},
        {"quoted name with a comma, then a second mailbox",
         "\"Yamada, Taro\" <taro@example.jp>; hanako@example.jp,",
         {"taro@example.jp", "hanako@example.jp"},
         "\"Yamada, Taro\" <taro@example.jp>, hanako@example.jp"},
        {"name with a quote is escaped",
         "\"say \\\"hi\\\"\" <a@example.jp>",
         {"a@example.jp"},
         "\"say \\\"hi\\\"\" <a@example.jp>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Expected<QList<MailAddress>> parsed =
            parseMailboxList(row.field, QStringLiteral("宛先"));
        ASSERT_TRUE(parsed.ok()) << parsed.failure().reason.toStdString();
        EXPECT_EQ(addressesOf(*parsed), row.addresses);
        EXPECT_EQ(mailboxListHeader(*parsed), row.header);
    }
}

TEST(MailAddress, WhatCouldReachTheServerAsMoreThanAnAddressIsRefused) {
    struct Row {
        const char* name;
        QString field;
        const char* reasonPart;
    };
    const Row rows[] = {
        {"ESMTP parameter after a bracket", "a@b.com> SIZE=1", "「<」や「>」"},
        {"parameter after the brackets", "A <a@b.com> SIZE=1", "空白"},
        {"blank inside the address", "taro yamada@example.jp", "空白"},
        {"line break into a second command", "a@b.com\r\nRCPT TO:<x@example.jp>", "制御文字"},
        {"line break in the display name", "A\r\nBcc: x@y.jp <a@b.com>", "制御文字"},
        {"no at sign", "taro", "「@」がありません"},
        {"nothing before the at sign", "@example.jp", "空です"},
        {"two at signs", "a@b@example.jp", "二つ以上"},
        {"full-width letters", "ｔａｒｏ@example.jp", "全角"},
        {"empty brackets", "Taro <>", "アドレスがありません"},
        {"nothing at all", " ; , ", "宛先がありません"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Expected<QList<MailAddress>> parsed =
            parseMailboxList(row.field, QStringLiteral("宛先"));
        ASSERT_FALSE(parsed.ok());
        EXPECT_EQ(parsed.failure().kind, FailureKind::BadInput);
        EXPECT_TRUE(parsed.failure().reason.contains(QString::fromUtf8(row.reasonPart)))
            << parsed.failure().reason.toStdString();
        EXPECT_TRUE(parsed.failure().reason.startsWith(QStringLiteral("宛先")))
            << parsed.failure().reason.toStdString();
        EXPECT_FALSE(parsed.failure().reason.contains(u'\n'));
    }
}

}  // namespace
}  // namespace orvane::mail
