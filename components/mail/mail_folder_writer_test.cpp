// What the POP3 tests cannot see from outside: the folder shows only whole,
// committed messages. (Contents, names and clean-up after a cut connection
// are covered by pop3_receiver_test and pop3_drop_test.)
#include "mail_folder_writer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

TEST(MailFolderWriter, MessagesBecomeVisibleOnlyWhenCommitted) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("mail"));  // created on demand
    MailFolderWriter writer(folder);
    ASSERT_FALSE(writer.prepare());

    for (int n = 1; n <= 3; ++n) {
        ASSERT_FALSE(writer.begin(n));
        ASSERT_FALSE(writer.write("Subject: same\r\n\r\n"));
        ASSERT_FALSE(writer.finish(n));
        EXPECT_TRUE(QDir(folder).entryList(QDir::Files).isEmpty());
    }
    const Expected<QList<int>> committed = writer.commit();
    ASSERT_TRUE(committed.ok());
    EXPECT_EQ(*committed, (QList<int>{1, 2, 3}));
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST(MailFolderWriter, UnwritableFolderIsALocalFailure) {
    MailFolderWriter writer(QStringLiteral("/proc/orvane-no-such-folder"));
    const Status status = writer.prepare();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->kind, FailureKind::Disk);
    EXPECT_FALSE(status->reason.isEmpty());
}

}  // namespace
}  // namespace orvane::mail
