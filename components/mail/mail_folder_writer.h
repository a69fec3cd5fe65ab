#pragma once

#include "pop3_session.h"
#include "posix_file.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace orvane::mail {

// Whose mail files a writer makes: their names differ, so that the mailer
// can tell its own from the checker's in a shared folder.
enum class SavedMailKind {
    Received,  // "SAVEALLD", the mailer's: see isReceivedMailFile
    Checked,   // "SAVEALL", the checker's
};

// Stores retrieved messages as files in a mail folder that only the user may
// read (0700; files 0600). Each message is written to a hidden temporary
// file; commit() flushes the finished ones to disk and only then renames them
// to unique final names, so a final name never holds a partial message and no
// existing file is ever replaced.
class MailFolderWriter : public MessageSink {
  public:
    MailFolderWriter(QString folder, SavedMailKind kind);
    ~MailFolderWriter() override;

    // Creates the folder when missing, makes it the user's alone (also when
    // it exists already) and clears temporary files that an interrupted
    // earlier run left behind.
    Expected<void> prepare();

    Expected<void> begin(int number) override;
    Expected<void> write(QByteArrayView data) override;
    Expected<void> finish(int number) override;
    Expected<QList<int>> commit() override;
    void abandon() override;

    // Makes the renames themselves durable (fsync of the folder).
    Expected<void> syncFolder();
    // Removes every file stored so far, and finished ones not yet committed
    // (when the server keeps the mail).
    void removeStored();

    struct StoredMail {
        int number;  // the message's number in the POP3 session
        QString path;
    };
    // The stored files, in the order of storing.
    const QList<StoredMail>& stored() const { return stored_; }
    // Their full paths.
    QStringList storedPaths() const;

    static constexpr const char* kTemporaryPrefix = ".incoming-";

  private:
    struct OpenFile {
        int number = 0;
        QString path;  // the temporary name
        UniqueFd fd;
    };

    Failure localFailure(int errorNumber) const;
    QString uniqueName();
    void dropFinished();

    QString folder_;
    SavedMailKind kind_;
    OpenFile current_;
    std::vector<OpenFile> finished_;
    QList<StoredMail> stored_;
    int sequence_ = 0;
};

// True exactly for the final names that "SAVEALLD" gives the mail files it saves
// (never for attachments or for the checker's "SAVEALL" files, which may share
// the folder): the mailer stores such files that a run ended before storing.
bool isReceivedMailFile(const QString& fileName);

}  // namespace orvane::mail
