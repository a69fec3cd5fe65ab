#include "mail_reader.h"
#include "mime_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

namespace orvane::mail {
namespace {

using test::crlf;
using test::readFile;
using test::utf8;
using test::writeFile;

QByteArray mailWithVoice(const QByteArray& voice) {
    return crlf(
               "From: a@example.jp\nSubject: voice\nContent-Type: multipart/mixed; boundary=b\n\n"
               "--b\nContent-Type: text/plain\n\nlisten\n"
               "--b\nContent-Type: audio/mpeg\nContent-Disposition: attachment; "
               "filename=voice.mp3\n"
               "Content-Transfer-Encoding: base64\n\n") +
           voice.toBase64() +
           "\r\n--b\r\nContent-Type: image/png; name=face.png\r\n\r\nPNG\r\n--b--\r\n";
}

// The visible files of the folder, hidden records left out.
QStringList visibleFiles(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

class SavedAttachments : public testing::Test {
  protected:
    void SetUp() override {
        mailFile_ = dir_.filePath("mail.eml");
        ASSERT_TRUE(writeFile(mailFile_, mailWithVoice("first voice")));
        mailDir_ = dir_.filePath("mail");
        ASSERT_TRUE(QDir().mkpath(mailDir_));
    }
    Expected<ReceivedMail> read() { return readMailFile(mailFile_, mailDir_); }

    QTemporaryDir dir_;
    QString mailFile_;
    QString mailDir_;
};

TEST_F(SavedAttachments, ASecondReadReusesTheFilesOfTheFirst) {
    const Expected<ReceivedMail> first = read();
    ASSERT_TRUE(first.ok()) << first.failure().reason.toStdString();
    const Expected<ReceivedMail> second = read();
    ASSERT_TRUE(second.ok()) << second.failure().reason.toStdString();
    EXPECT_EQ(second->attachments, first->attachments);
    EXPECT_EQ(visibleFiles(mailDir_), (QStringList{"face.png", "voice.mp3"}));
    EXPECT_EQ(readFile(second->attachments.first()), "first voice");
}

TEST_F(SavedAttachments, AFileThatWentAwayIsSavedAgain) {
    const Expected<ReceivedMail> first = read();
    ASSERT_TRUE(first.ok());
    ASSERT_TRUE(QFile::remove(first->attachments.first()));
    const Expected<ReceivedMail> second = read();
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second->attachments, first->attachments);
    EXPECT_EQ(readFile(second->attachments.first()), "first voice");
    EXPECT_EQ(visibleFiles(mailDir_).size(), 2);
}

TEST_F(SavedAttachments, AChangedMailFileGetsFilesOfItsOwn) {
    const Expected<ReceivedMail> first = read();
    ASSERT_TRUE(first.ok());
    // A new mail saved under the old name (the first one was deleted).
    ASSERT_TRUE(QFile::remove(mailFile_));
    ASSERT_TRUE(writeFile(mailFile_, mailWithVoice("another voice, longer")));
    const Expected<ReceivedMail> second = read();
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(QFileInfo(second->attachments.first()).fileName(), "voice (2).mp3");
    EXPECT_EQ(readFile(second->attachments.first()), "another voice, longer");
    EXPECT_EQ(readFile(first->attachments.first()), "first voice");
}

TEST_F(SavedAttachments, ARecordThatIsNotOursIsNeitherTrustedNorReplaced) {
    const QString record = QDir(mailDir_).filePath(".mail.eml.attachments");
    ASSERT_TRUE(writeFile(record, "the user's own notes\n"));
    ASSERT_TRUE(writeFile(QDir(mailDir_).filePath("voice.mp3"), "the user's own voice"));
    const Expected<ReceivedMail> read = this->read();
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(QFileInfo(read->attachments.first()).fileName(), "voice (2).mp3");
    EXPECT_EQ(readFile(record), "the user's own notes\n");
    EXPECT_EQ(readFile(QDir(mailDir_).filePath("voice.mp3")), "the user's own voice");
}

TEST_F(SavedAttachments, AreForTheUserAlone) {
    const Expected<ReceivedMail> read = this->read();
    ASSERT_TRUE(read.ok());
    QStringList files = read->attachments;
    files << QDir(mailDir_).filePath(".mail.eml.attachments");
    for (const QString& path : files) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path.toStdString();
    }
}

// The file size limit makes writes fail as a full disk does, with a reason
// of its own.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST_F(SavedAttachments, AFailedWriteSaysWhyAndLeavesNothingBehind) {
    ASSERT_TRUE(writeFile(mailFile_, mailWithVoice(QByteArray(64 * 1024, 'v'))));
    Expected<ReceivedMail> read = Failure{};
    {
        const FileSizeLimit limit(16 * 1024);
        read = this->read();
    }
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.failure().kind, FailureKind::Disk);
    EXPECT_EQ(read.failure().reason,
              utf8("添付ファイル「voice.mp3」を保存できません：ファイルが大きすぎます"));
    EXPECT_TRUE(visibleFiles(mailDir_).isEmpty());
}

TEST_F(SavedAttachments, AMissingFolderIsNamed) {
    const Expected<ReceivedMail> read = readMailFile(mailFile_, dir_.filePath("gone"));
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.failure().kind, FailureKind::NotFound);
    EXPECT_TRUE(read.failure().reason.contains(dir_.filePath("gone")));
}

}  // namespace
}  // namespace orvane::mail
