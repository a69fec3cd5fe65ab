// What the POP3 tests cannot see from outside: the folder shows only whole,
// committed messages, and the mailer can tell its own files by their names.
// (Contents, modes and clean-up after a cut connection are covered by the
// POP3 tests.)
#include "mail_folder_writer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace orvane::mail {
namespace {

// Stores `count` small messages and returns the final file names. The folder
// shows none of them until they are committed.
QStringList storeMessages(const QString& folder, SavedMailKind kind, int count) {
    MailFolderWriter writer(folder, kind);
    EXPECT_TRUE(writer.prepare().ok());
    const qsizetype before = QDir(folder).entryList(QDir::Files | QDir::Hidden).size();
    QList<int> numbers;
    for (int n = 1; n <= count; ++n) {
        EXPECT_TRUE(writer.begin(n).ok());
        EXPECT_TRUE(writer.write("Subject: same\r\n\r\n").ok());
        EXPECT_TRUE(writer.finish(n).ok());
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), before);
        numbers << n;
    }
    const Expected<QList<int>> committed = writer.commit();
    EXPECT_TRUE(committed.ok() && *committed == numbers);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), before + count);
    QStringList names;
    for (const QString& path : writer.storedPaths()) {
        names << QFileInfo(path).fileName();
    }
    return names;
}

TEST(MailFolderWriter, UnwritableFolderIsALocalFailure) {
    MailFolderWriter writer(QStringLiteral("/proc/orvane-no-such-folder"), SavedMailKind::Received);
    const Expected<void> prepared = writer.prepare();
    ASSERT_FALSE(prepared.ok());
    EXPECT_EQ(prepared.failure().kind, FailureKind::Disk);
    EXPECT_TRUE(prepared.failure().reason.contains(QStringLiteral("保存できません")))
        << prepared.failure().reason.toStdString();
}

// The mailer picks up files that a run saved but did not store; the checker's
// files and attachments share the folder and must never be taken for them.
TEST(MailFolderWriter, OnlyTheMailersSavedFilesCountAsReceivedMail) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("mail"));  // created on demand
    const QStringList mailer = storeMessages(folder, SavedMailKind::Received, 3);
    const QStringList checker = storeMessages(folder, SavedMailKind::Checked, 3);
    ASSERT_EQ(mailer.size(), 3);
    ASSERT_EQ(checker.size(), 3);
    for (const QString& name : mailer) {
        EXPECT_TRUE(isReceivedMailFile(name)) << name.toStdString();
    }
    for (const QString& name : checker) {
        EXPECT_FALSE(isReceivedMailFile(name)) << name.toStdString();
    }
    const QString taken = mailer.first();
    for (const QString& other :
         {QStringLiteral("voice.mp3"), QStringLiteral("report.eml"),
          taken.chopped(4) + QStringLiteral(" (2).eml"), taken + QStringLiteral(".txt"),
          QStringLiteral(".incoming-12-1-0000abcd.part"), QStringLiteral("attachment")}) {
        EXPECT_FALSE(isReceivedMailFile(other)) << other.toStdString();
    }
}

}  // namespace
}  // namespace orvane::mail
