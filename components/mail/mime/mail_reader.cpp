#include "mail_reader.h"

#include "attachment_saver.h"
#include "body_text.h"
#include "header_decoder.h"
#include "mail_parser.h"

#include <QDir>
#include <QFileInfo>

namespace orvane::mail {
namespace {

QString resolvedPath(const QString& file, const QString& mailDir) {
    if (QFileInfo(file).isAbsolute())
        return file;
    const QString inFolder = QDir(mailDir).filePath(file);
    if (mailDir.isEmpty() || (!QFileInfo::exists(inFolder) && QFileInfo::exists(file)))
        return file;
    return inFolder;
}

// Fills `from` ("display name <address>", or whichever of the two there is)
// and `senderName` (the display name, or the address without one).
void setSender(ReceivedMail& mail, const std::optional<QByteArray>& raw, QByteArrayView charset) {
    if (!raw)
        return;
    const std::optional<Mailbox> mailbox = firstMailbox(*raw, charset);
    if (!mailbox) {
        mail.from = mail.senderName = decodeHeaderText(*raw, charset);
    } else if (mailbox->name.isEmpty() || mailbox->name == mailbox->address) {
        mail.from = mail.senderName = mailbox->address;
    } else if (mailbox->address.isEmpty()) {
        mail.from = mail.senderName = mailbox->name;
    } else {
        mail.from = mailbox->name + QStringLiteral(" <") + mailbox->address + u'>';
        mail.senderName = mailbox->name;
    }
}

}  // namespace

Expected<ReceivedMail> readMailFile(const QString& file, const QString& mailDir) {
    const QString path = resolvedPath(file, mailDir);
    if (!QFileInfo(path).isFile())
        return Failure{FailureKind::NotFound,
                       QStringLiteral("メールファイルが見つかりません：%1").arg(path)};
    Expected<ParsedMail> parsed = parseMailFile(path);
    if (!parsed)
        return parsed.failure();

    ReceivedMail mail;
    const HeaderBlock& headers = parsed->headers;
    mail.subject = decodeHeaderText(headers.value("Subject").value_or(""), parsed->charset);
    setSender(mail, headers.value("From"), parsed->charset);
    mail.date = decodeHeaderText(headers.value("Date").value_or(""), parsed->charset);
    mail.body = bodyText(parsed->text, parsed->cut);

    Expected<QStringList> attachments = saveAttachments(parsed->attachments, mailDir, path);
    if (!attachments)
        return attachments.failure();
    mail.attachments = std::move(*attachments);
    return mail;
}

}  // namespace orvane::mail
