#include "mail_folder_writer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

QStringList visibleFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files);
}
QStringList allFiles(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden);
}

TEST(MailFolderWriter, FinishedMessagesGetUniqueNamesAndPartialOnesVanish) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("mail"));  // created on demand
    MailFolderWriter writer(folder);
    ASSERT_FALSE(writer.prepare());

    for (int n = 1; n <= 3; ++n) {
        ASSERT_FALSE(writer.begin(n));
        ASSERT_FALSE(writer.write("Subject: same\r\n\r\n"));
        ASSERT_FALSE(writer.write(QByteArray::number(n)));
        ASSERT_FALSE(writer.finish(n));
        // Until commit only hidden temporary files exist.
        EXPECT_TRUE(visibleFiles(folder).isEmpty());
    }
    const Expected<QList<int>> committed = writer.commit();
    ASSERT_TRUE(committed.ok());
    EXPECT_EQ(*committed, (QList<int>{1, 2, 3}));
    ASSERT_FALSE(writer.begin(4));
    ASSERT_FALSE(writer.write("Subject: cut short"));
    writer.abandon();
    ASSERT_TRUE(writer.commit().ok());
    ASSERT_FALSE(writer.syncFolder());

    ASSERT_EQ(writer.stored().size(), 3);
    EXPECT_EQ(allFiles(folder).size(), 3);  // no temporary file left behind
    for (int i = 0; i < 3; ++i) {
        QFile file(writer.stored()[i]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), "Subject: same\r\n\r\n" + QByteArray::number(i + 1));
        EXPECT_TRUE(QDir::isAbsolutePath(writer.stored()[i]));
    }

    // A finished but uncommitted message goes with removeStored too.
    ASSERT_FALSE(writer.begin(5));
    ASSERT_FALSE(writer.finish(5));
    writer.removeStored();
    EXPECT_TRUE(allFiles(folder).isEmpty());
}

TEST(MailFolderWriter, UnwritableFolderIsALocalFailure) {
    MailFolderWriter writer(QStringLiteral("/proc/orvane-no-such-folder"));
    const Status status = writer.prepare();
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(status->kind, FailureKind::Local);
    EXPECT_FALSE(status->reason.isEmpty());
}

}  // namespace
}  // namespace orvane::mail
