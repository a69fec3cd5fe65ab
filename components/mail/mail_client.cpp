#include "mail_client.h"

#include "mail_reader.h"
#include "message_composer.h"
#include "pop3_receiver.h"
#include "smtp_sender.h"

namespace orvane::mail {

MailClient::MailClient(TransportOptions options) : options_(std::move(options)) {}

Expected<QStringList> MailClient::rcvMail(const QString& server, const QString& user,
                                          const QString& password, const QString& command,
                                          const QString& mailDir) {
    ArrayResult result = receiveMail(server, user, password, command, mailDir, options_);
    if (!result.isArray()) {
        return Failure{FailureKind::Refused, result.error};
    }
    return std::move(*result.array);
}

Expected<ReceivedMail> MailClient::readMail(const QString& file, const QString& mailDir) {
    return readMailFile(file, mailDir);
}

Expected<void> MailClient::sendMail(const QString& server, const QString& to, const QString& from,
                                    const QString& subject, const QString& body,
                                    const QString& attachment, const SmtpLogin& login) {
    OutgoingMessage outgoing;
    outgoing.from = from;
    outgoing.to = to;
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
    envelope.from = from;
    envelope.to = recipientAddresses(to);
    envelope.message = std::move(*message);
    if (Status sent = sendSmtp(envelope, options_)) {
        return *sent;
    }
    return success();
}

std::unique_ptr<MailComponent> createMailComponent() {
    return std::make_unique<MailClient>();
}

}  // namespace orvane::mail
