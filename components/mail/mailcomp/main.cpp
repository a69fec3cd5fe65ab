// mailcomp: the mail component from a terminal, for diagnosing an account and
// for tests. Prints one JSON object on standard output; a failure prints
// {"error": "..."} and exits with 1 (2 for a wrong command line).
#include "mail_client.h"
#include "received_fields.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>

namespace {

using orvane::mail::ArrayResult;
using orvane::mail::MailClient;

constexpr const char* kUsage =
    "usage:\n"
    "  mailcomp stat SERVER USER PASSWORD\n"
    "  mailcomp saveall SERVER USER PASSWORD DIR\n"
    "  mailcomp read FILE DIR\n"
    "  mailcomp send SERVER USER PASSWORD TO FROM SUBJECT BODY [ATTACHMENT]\n"
    "SERVER: host, host:port, pop3://, pop3s://, smtp://, smtps://\n"
    "ORVANE_EXTRA_CA=file.pem trusts one more certificate authority.\n";

int print(const QJsonObject& object, int exitCode) {
    const QByteArray json = QJsonDocument(object).toJson(QJsonDocument::Compact);
    std::fwrite(json.constData(), 1, static_cast<size_t>(json.size()), stdout);
    std::fputc('\n', stdout);
    return exitCode;
}

int printResult(const ArrayResult& result, QJsonObject extra = {}) {
    if (!result.isArray()) {
        return print({{QStringLiteral("error"), result.error}}, 1);
    }
    extra.insert(QStringLiteral("elements"), QJsonArray::fromStringList(*result.array));
    return print(extra, 0);
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
        return printResult(client.rcvMail(args[1], args[2], args[3], QStringLiteral("STAT"), {}));
    }
    if (command == QLatin1String("saveall") && args.size() == 5) {
        return printResult(
            client.rcvMail(args[1], args[2], args[3], QStringLiteral("SAVEALLD"), args[4]));
    }
    if (command == QLatin1String("read") && args.size() == 3) {
        const ArrayResult result =
            client.readMail(args[1], QStringLiteral("subject:from:date:body"), args[2]);
        if (!result.isArray()) {
            return printResult(result);
        }
        const orvane::mail::ReceivedFields fields =
            orvane::mail::parseReadMailElements(*result.array);
        return printResult(result, {{QStringLiteral("subject"), fields.subject},
                                    {QStringLiteral("from"), fields.from},
                                    {QStringLiteral("date"), fields.date},
                                    {QStringLiteral("body"), fields.body},
                                    {QStringLiteral("attach"), fields.attach}});
    }
    if (command == QLatin1String("send") && (args.size() == 8 || args.size() == 9)) {
        const QString answer =
            client.sendMail(args[1], args[4], args[5], args[6], args[7],
                            args.size() == 9 ? args[8] : QString(), {args[2], args[3]});
        if (!answer.isEmpty()) {
            return print({{QStringLiteral("error"), answer}}, 1);
        }
        return print({{QStringLiteral("answer"), answer}, {QStringLiteral("sent"), true}}, 0);
    }
    return usage();
}
