#pragma once

#include "pop3_session.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace orvane::mail {

// Stores retrieved messages as files in a mail folder. Each message is
// written to a hidden temporary file; commit() flushes the finished ones to
// disk and only then renames them to unique final names, so a final name
// never holds a partial message and no existing file is ever replaced.
class MailFolderWriter : public MessageSink {
  public:
    explicit MailFolderWriter(QString folder);
    ~MailFolderWriter() override;

    // Creates the folder when missing and clears temporary files that an
    // interrupted earlier run left behind.
    Status prepare();

    Status begin(int number) override;
    Status write(QByteArrayView data) override;
    Status finish(int number) override;
    Expected<QList<int>> commit() override;
    void abandon() override;

    // Makes the renames themselves durable (fsync of the folder).
    Status syncFolder();
    // Removes every file stored so far, and finished ones not yet committed
    // (when the server keeps the mail).
    void removeStored();

    // Full paths of the stored files, in the order of storing.
    const QStringList& stored() const { return stored_; }

    static constexpr const char* kTemporaryPrefix = ".incoming-";

  private:
    Failure localFailure(const QString& detail) const;
    QString uniqueName();

    QString folder_;
    struct Finished {
        int number;
        std::unique_ptr<QFile> file;  // still open, under its temporary name
    };
    void dropFinished();

    std::unique_ptr<QFile> current_;
    std::vector<Finished> finished_;
    QStringList stored_;
    int sequence_ = 0;
};

// True exactly for the final names that "SAVEALLD" gives the mail files it saves
// (never for attachments or for the checker's "SAVEALL" files, which may share
// the folder): the mailer stores such files that a run ended before storing.
bool isReceivedMailFile(const QString& fileName);

}  // namespace orvane::mail
