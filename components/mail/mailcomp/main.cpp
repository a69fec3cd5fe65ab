// mailcomp: the mail component from a terminal, for diagnosing an account and
// for tests. Prints one JSON object on standard output; a failure prints
// {"error": "..."} and exits with 1 (2 for a wrong command line).
#include "mail_client.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace {

using orvane::mail::MailClient;

constexpr const char* kUsage =
    "usage:\n"
    "  mailcomp stat SERVER USER PASSWORD\n"
    "  mailcomp saveall SERVER USER PASSWORD DIR\n"
    "  mailcomp read FILE DIR\n"
    "  mailcomp send SERVER USER PASSWORD TO FROM SUBJECT BODY [ATTACHMENT]\n"
    "SERVER: host, host:port (encrypted, by STLS/STARTTLS), pop3s://, smtps:// (encrypted\n"
    "from the start), pop3://, smtp:// (plain text allowed)\n"
    "ORVANE_EXTRA_CA=file.pem trusts one more certificate authority.\n";

int print(const QJsonObject& object, int exitCode) {
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    std::fputc('\n', stdout);
    return exitCode;
}

int printFailure(const orvane::Failure& failure) {
    return print({{QStringLiteral("error"), failure.reason}}, 1);
}

int printElements(const orvane::Expected<QStringList>& result) {
    if (!result.ok()) {
        return printFailure(result.failure());
    }
    return print({{QStringLiteral("elements"), QJsonArray::fromStringList(*result)}}, 0);
}

int usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        return usage();
    }
    const QString command = args.first();
    MailClient client;

    if (command == QLatin1String("stat") && args.size() == 4) {
        return printElements(client.rcvMail(args[1], args[2], args[3], QStringLiteral("STAT"), {}));
    }
    if (command == QLatin1String("saveall") && args.size() == 5) {
        return printElements(
            client.rcvMail(args[1], args[2], args[3], QStringLiteral("SAVEALLD"), args[4]));
    }
    if (command == QLatin1String("read") && args.size() == 3) {
        const auto read = client.readMail(args[1], args[2]);
        if (!read.ok()) {
            return printFailure(read.failure());
        }
        const QStringList elements =
            orvane::mail::readMailElements(*read, QStringLiteral("subject:from:date:body"));
        return print(
            {{QStringLiteral("subject"), read->subject},
             {QStringLiteral("from"), read->from},
             {QStringLiteral("date"), read->date},
             {QStringLiteral("body"), read->body},
             {QStringLiteral("attachments"), QJsonArray::fromStringList(read->attachments)},
             {QStringLiteral("elements"), QJsonArray::fromStringList(elements)}},
            0);
    }
    if (command == QLatin1String("send") && (args.size() == 8 || args.size() == 9)) {
        const auto sent =
            client.sendMail(args[1], args[4], args[5], args[6], args[7],
                            args.size() == 9 ? args[8] : QString(), {args[2], args[3]});
        if (!sent.ok()) {
            return printFailure(sent.failure());
        }
        return print({{QStringLiteral("sent"), true}}, 0);
    }
    return usage();
}
