#include "mail_client.h"

#include "mail_address.h"
#include "mail_reader.h"
#include "message_composer.h"
#include "pop3_receiver.h"
#include "smtp_sender.h"

namespace orvane::mail {

namespace {

// The text of `element` after the first `marker`, or all of it.
QString after(const QString& element, const QString& marker) {
    const qsizetype at = element.indexOf(marker);
    return at < 0 ? element : element.mid(at + marker.size());
}

}  // namespace

MailClient::MailClient(TransportOptions options) : options_(std::move(options)) {}

Expected<QStringList> MailClient::rcvMail(const QString& server, const QString& user,
                                          const QString& password, const QString& command,
                                          const QString& mailDir) {
    return receiveMail(server, user, password, command, mailDir, options_);
}

Expected<ReceivedMail> MailClient::readMail(const QString& file, const QString& mailDir) {
    // Element 0 subject, 1 from, 2 sender name (the checker's form), 3 date,
    // 4 body, then the attachments.
    const ArrayResult read = readMailFile(file, QStringLiteral("subject:from:date:body"), mailDir);
    if (!read.isArray()) {
        return Failure{FailureKind::Disk, read.error};
    }
    const QStringList& e = *read.array;
    ReceivedMail mail;
    mail.subject = after(e.value(0), QStringLiteral("subject: "));
    mail.from = after(e.value(1), QStringLiteral("From: "));
    mail.date = after(e.value(2), QStringLiteral("Date: "));
    mail.body = after(e.value(4), QStringLiteral("Body:"));
    for (qsizetype i = 5; i < e.size(); ++i) {
        mail.attachments << after(e[i], QStringLiteral("File: "));
    }
    const qsizetype open = mail.from.lastIndexOf(u'<');
    mail.senderName = open > 0 && mail.from.endsWith(u'>') ? mail.from.left(open).trimmed()
                                                           : mail.from;
    return mail;
}

Expected<void> MailClient::sendMail(const QString& server, const QString& to, const QString& from,
                                    const QString& subject, const QString& body,
                                    const QString& attachment, const SmtpLogin& login) {
    // The recipients are read and checked once: the To header and the
    // envelope are made from the same list.
    const Expected<QList<MailAddress>> recipients = parseMailboxList(to, QStringLiteral("宛先"));
    if (!recipients) {
        return recipients.failure();
    }
    const Expected<MailAddress> sender = parseMailbox(from, QStringLiteral("差出人"));
    if (!sender) {
        return sender.failure();
    }
    OutgoingMessage outgoing;
    outgoing.from = sender->headerForm();
    outgoing.to = mailboxListHeader(*recipients);
    outgoing.subject = subject;
    outgoing.body = body;
    outgoing.attachmentPath = attachment;
    QString composeError;
    const QByteArray message = composeMessage(outgoing, &composeError);
    if (message.isEmpty()) {
        return Failure{FailureKind::BadInput,
                       composeError.isEmpty() ? QStringLiteral("送信するメールを作れませんでした")
                                              : composeError};
    }
    SmtpEnvelope envelope;
    envelope.server = server;
    envelope.login = login;
    envelope.from = sender->address;
    envelope.to = addressesOf(*recipients);
    envelope.message = message;
    return sendSmtp(envelope, options_);
}

std::unique_ptr<MailComponent> createMailComponent() {
    return std::make_unique<MailClient>();
}

}  // namespace orvane::mail
