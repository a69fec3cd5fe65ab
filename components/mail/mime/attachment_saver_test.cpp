// Attachments saved by reading a mail file: once per version of the file,
// never over another file, for the user alone, and never half.
#include "mail_reader.h"
#include "mime_test_support.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orvane::mail {
namespace {

using namespace test;

// A picture, then the voice.
QByteArray mailWithVoice(const QByteArray& voice) {
    return mixedMail("voice", {"Content-Type: text/plain\n\nlisten",
                               "Content-Type: image/png; name=face.png\n\nPNG",
                               "Content-Type: audio/mpeg\nContent-Disposition: attachment; "
                               "filename=voice.mp3\nContent-Transfer-Encoding: base64\n\n" +
                                   voice.toBase64()});
}

// A mail file and the mail folder beside it.
class SavedAttachments : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(writeFile(mailFile_, mailWithVoice("first voice")));
        ASSERT_TRUE(QDir().mkpath(mailDir_));
    }
    Expected<ReceivedMail> read() { return readMailFile(mailFile_, mailDir_); }
    // The visible files of the folder, hidden records left out.
    QStringList visibleFiles() const { return QDir(mailDir_).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir_;
    QString mailFile_ = dir_.filePath("mail.eml");
    QString mailDir_ = dir_.filePath("mail");
};

TEST_F(SavedAttachments, ASecondReadReusesTheFilesOfTheFirstWhileTheyAreWhole) {
    struct Row {
        const char* name;
        void (*between)(const QString& mailFile, const ReceivedMail& first);
        const char* voiceName;  // of the second read
        QByteArray voice;
        QStringList visible;
    };
    const Row rows[] = {
        {"nothing changed",
         [](const QString&, const ReceivedMail&) {},
         "voice.mp3",
         "first voice",
         {"face.png", "voice.mp3"}},
        {"a saved file went away",
         [](const QString&, const ReceivedMail& first) { QFile::remove(first.attachments.last()); },
         "voice.mp3",
         "first voice",
         {"face.png", "voice.mp3"}},
        {"another mail saved under the same name",
         [](const QString& mailFile, const ReceivedMail&) {
             QFile::remove(mailFile);
             writeFile(mailFile, mailWithVoice("another voice, longer"));
         },
         "voice (2).mp3",
         "another voice, longer",
         {"face (2).png", "face.png", "voice (2).mp3", "voice.mp3"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const QString& name : QDir(mailDir_).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(QDir(mailDir_).filePath(name));
        ASSERT_TRUE(writeFile(mailFile_, mailWithVoice("first voice")));
        const Expected<ReceivedMail> first = read();
        ASSERT_TRUE(first.ok()) << first.failure().reason.toStdString();
        row.between(mailFile_, *first);
        const Expected<ReceivedMail> second = read();
        ASSERT_TRUE(second.ok()) << second.failure().reason.toStdString();
        ASSERT_EQ(second->attachments.size(), 2);
        EXPECT_EQ(QFileInfo(second->attachments.last()).fileName(), row.voiceName);
        EXPECT_EQ(readFile(second->attachments.last()), row.voice);
        EXPECT_EQ(readFile(first->attachments.last()), "first voice");
        EXPECT_EQ(visibleFiles(), row.visible);
    }
}

TEST_F(SavedAttachments, ARecordThatIsNotOursIsNeitherTrustedNorReplaced) {
    const QString record = QDir(mailDir_).filePath(".mail.eml.attachments");
    ASSERT_TRUE(writeFile(record, "the user's own notes\n"));
    ASSERT_TRUE(writeFile(QDir(mailDir_).filePath("voice.mp3"), "the user's own voice"));
    const Expected<ReceivedMail> read = this->read();
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(QFileInfo(read->attachments.last()).fileName(), "voice (2).mp3");
    EXPECT_EQ(readFile(record), "the user's own notes\n");
    EXPECT_EQ(readFile(QDir(mailDir_).filePath("voice.mp3")), "the user's own voice");
}

TEST_F(SavedAttachments, AreForTheUserAlone) {
    const Expected<ReceivedMail> read = this->read();
    ASSERT_TRUE(read.ok());
    for (const QString& path :
         read->attachments + QStringList{QDir(mailDir_).filePath(".mail.eml.attachments")}) {
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path.toStdString();
    }
}

// The picture is saved, then the voice fails: the picture goes again.
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
    EXPECT_TRUE(visibleFiles().isEmpty()) << visibleFiles().join(", ").toStdString();
}

}  // namespace
}  // namespace orvane::mail
