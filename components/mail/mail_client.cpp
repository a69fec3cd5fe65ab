#include "mail_client.h"

#include "mail_address.h"
#include "mail_reader.h"
#include "message_composer.h"
#include "pop3_receiver.h"
#include "smtp_sender.h"

namespace orvane::mail {

MailClient::MailClient(TransportOptions options) : options_(std::move(options)) {}

Expected<QStringList> MailClient::rcvMail(const QString& server, const QString& user,
                                          const QString& password, const QString& command,
                                          const QString& mailDir) {
    return receiveMail(server, user, password, command, mailDir, options_);
}

Expected<ReceivedMail> MailClient::readMail(const QString& file, const QString& mailDir) {
    return readMailFile(file, mailDir);
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
    Expected<QByteArray> message = composeMessage(outgoing);
    if (!message) {
        return message.failure();
    }
    SmtpEnvelope envelope;
    envelope.server = server;
    envelope.login = login;
    envelope.from = sender->address;
    envelope.to = addressesOf(*recipients);
    envelope.message = std::move(*message);
    return sendSmtp(envelope, options_);
}

std::unique_ptr<MailComponent> createMailComponent() {
    return std::make_unique<MailClient>();
}

}  // namespace orvane::mail
