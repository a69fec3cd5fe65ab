#pragma once

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace orvane::mail {

// One mail read from its saved file, decoded.
struct ReceivedMail {
    QString subject;
    // "display name <address>", or whichever of the two the mail gives.
    QString from;
    // The display name, or the address when the mail gives no name: what the
    // checker speaks.
    QString senderName;
    // The Date header as written.
    QString date;
    // The text of the mail, line breaks as "\n": every inline text part in
    // mail order (one of each set of alternatives). A body that could not be
    // read whole ends in "（以下省略）".
    QString body;
    // Full paths of the attachments, saved in the mail folder, in mail order.
    QStringList attachments;
};

// The hidden file beside a saved mail file in which the reader records the
// attachments it saved for that mail, so that a second read reuses them.
inline QString attachmentRecordPath(const QString& mailDir, const QString& mailFile) {
    return QDir(mailDir).filePath(u'.' + QFileInfo(mailFile).fileName() +
                                  QStringLiteral(".attachments"));
}

// Whether `fileName` has the form the component gives the mail files it saves:
// "20261207-093000-0001-1a2b.eml", with "check-" in front for the checker's.
// The mailer stores such files left over from a run, so no attachment is ever
// saved under such a name.
inline bool hasSavedMailForm(const QString& fileName) {
    static const QRegularExpression pattern(
        QStringLiteral("^(check-)?\\d{8}-\\d{6}-\\d{4,}-[0-9a-f]{4}\\.eml$"));
    return pattern.match(fileName).hasMatch();
}

}  // namespace orvane::mail
