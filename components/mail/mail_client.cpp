#include "mail_client.h"

#include "mail_reader.h"
#include "message_composer.h"
#include "pop3_receiver.h"
#include "smtp_sender.h"

namespace orvane::mail {

MailClient::MailClient(TransportOptions options) : options_(std::move(options)) {}

ArrayResult MailClient::rcvMail(const QString& server, const QString& user, const QString& password,
                                const QString& command, const QString& mailDir) {
    return receiveMail(server, user, password, command, mailDir, options_);
}

ArrayResult MailClient::readMail(const QString& file, const QString& names,
                                 const QString& mailDir) {
    return readMailFile(file, names, mailDir);
}

QString MailClient::sendMail(const QString& server, const QString& to, const QString& from,
                             const QString& subject, const QString& body, const QString& attachment,
                             const SmtpLogin& login) {
    OutgoingMessage outgoing;
    outgoing.from = from;
    outgoing.to = to;
    outgoing.subject = subject;
    outgoing.body = body;
    outgoing.attachmentPath = attachment;
    QString composeError;
    const QByteArray message = composeMessage(outgoing, &composeError);
    if (message.isEmpty()) {
        return composeError.isEmpty() ? QStringLiteral("送信するメールを作れませんでした")
                                      : composeError;
    }
    SmtpEnvelope envelope;
    envelope.server = server;
    envelope.login = login;
    envelope.from = from;
    envelope.to = recipientAddresses(to);
    envelope.message = message;
    if (Status sent = sendSmtp(envelope, options_)) {
        return sent->reason;
    }
    return QString();
}

std::unique_ptr<MailComponent> createMailComponent() {
    return std::make_unique<MailClient>();
}

}  // namespace orvane::mail
