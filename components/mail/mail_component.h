#pragma once

#include "expected.h"
#include "received_mail.h"

#include <QString>
#include <QStringList>

namespace orvane::mail {

using orvane::Expected;
using orvane::Failure;
using orvane::FailureKind;

// The login that SendMail uses.
struct SmtpLogin {
    QString user;
    QString password;
};

// The mail component of the mailer and the checker. Every call is synchronous
// and every failure carries a Japanese reason fit to be spoken.
class MailComponent {
  public:
    virtual ~MailComponent() = default;

    // RcvMail. command: "STAT", "SAVEALLD", "LIST" (the mailer's) or "SAVEALL"
    // (the checker's).
    //  "STAT"      element 0 "count size" ("0 0" for an empty mailbox).
    //  "LIST"      element 0 as for STAT, then "number size" per mail.
    //  "SAVEALLD"  every mail saved as a file in mailDir, then deleted on the
    //              server; element 0 as for STAT, then the full path of each file.
    //  "SAVEALL"   the mails not reported before are saved and left on the
    //              server; the elements are the full paths of the new files
    //              (an empty list when nothing is new).
    virtual Expected<QStringList> rcvMail(const QString& server, const QString& user,
                                          const QString& password, const QString& command,
                                          const QString& mailDir) = 0;

    // ReadMail: reads a saved mail file (a full path, or a bare name inside
    // mailDir) and saves its attachments in mailDir. Reading the same file
    // again reuses the attachment files of the first read.
    virtual Expected<ReceivedMail> readMail(const QString& file, const QString& mailDir) = 0;

    // SendMail: `attachment` is "" or the full path of one file. Success only
    // once the server accepted the mail.
    virtual Expected<void> sendMail(const QString& server, const QString& to, const QString& from,
                                    const QString& subject, const QString& body,
                                    const QString& attachment, const SmtpLogin& login) = 0;

    // Waits `seconds`: queued speech goes on and windows repaint, while user
    // input waits in the queue until the pause is over.
    virtual void sleep(int seconds);
};

// ReadMail's array answer for the header list `names`, built from a read mail:
// one element per name, in order, then the body, then one per attachment:
//   "subject"  -> "subject: " + subject
//   "from"     -> "From: " + from
//   "date"     -> "Date: " + date
//   other      -> name + ": " (the component keeps no other headers)
//   body       -> "Body:" + body (no blank after the colon)
//   attachment -> "File: " + full path
// The list "from:subject:" (the checker's) answers in the checker's form:
// element 0 "差出人 " + senderName + "、", element 1 "件名 " + subject, then the
// body and the attachments as above.
QStringList readMailElements(const ReceivedMail& mail, const QString& names);

// Removes a saved mail file that is no longer needed, with the reader's record
// of its attachments (the attachments themselves stay).
void removeSavedMail(const QString& mailFile, const QString& mailDir);

}  // namespace orvane::mail
