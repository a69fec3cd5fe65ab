#include "reply.h"

#include <gtest/gtest.h>

using orvane::mailer::replyAddress;

namespace {

TEST(ReplyAddress, TakesTheBracketedAddressOnlyWhenTheBracketsStandInOrder) {
    struct Row {
        const char* name;
        QString sender;
        QString address;
    };
    const Row rows[] = {
        {"display name and address", "Taro Yamada <taro@example.jp>", "taro@example.jp"},
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

}  // namespace
