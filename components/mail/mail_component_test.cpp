#include "mail_component.h"

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

ReceivedMail voiceMail() {
    ReceivedMail mail;
    mail.subject = QStringLiteral("会議の件");
    mail.from = QStringLiteral("山田 太郎 <taro@example.jp>");
    mail.senderName = QStringLiteral("山田 太郎");
    mail.date = QStringLiteral("Sun, 06 Dec 2026 10:00:00 +0900");
    mail.body = QStringLiteral("明日は10時から。\n");
    mail.attachments = {QStringLiteral("/m/voice.mp3")};
    return mail;
}

struct ElementsRow {
    const char* name;
    const char* names;
    QStringList expected;
};

class ReadMailElements : public testing::TestWithParam<ElementsRow> {};

TEST_P(ReadMailElements, FollowTheHeaderList) {
    EXPECT_EQ(readMailElements(voiceMail(), QString::fromUtf8(GetParam().names)),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadMailElements,
    testing::Values(
        // The mailer's list: element 4 is the body, element 5 the attachment.
        ElementsRow{"mailer",
                    "subject:from:date:body",
                    {"subject: 会議の件", "From: 山田 太郎 <taro@example.jp>",
                     "Date: Sun, 06 Dec 2026 10:00:00 +0900", "body: ", "Body:明日は10時から。\n",
                     "File: /m/voice.mp3"}},
        // The checker's list: four elements with one attachment; the first two
        // spoken one after the other.
        ElementsRow{"checker",
                    "from:subject:",
                    {"差出人 山田 太郎、", "件名 会議の件", "Body:明日は10時から。\n",
                     "File: /m/voice.mp3"}},
        ElementsRow{
            "any_case_and_unknown_names",
            "SUBJECT:x-mailer",
            {"subject: 会議の件", "x-mailer: ", "Body:明日は10時から。\n", "File: /m/voice.mp3"}}),
    [](const testing::TestParamInfo<ElementsRow>& info) { return std::string(info.param.name); });

TEST(ReadMailElements, NoAttachmentMeansNoFileElement) {
    ReceivedMail mail = voiceMail();
    mail.attachments.clear();
    EXPECT_EQ(readMailElements(mail, QStringLiteral("from:subject:")).size(), 3);
}

}  // namespace
}  // namespace orvane::mail
