#include "smtp_sink_server.h"

#include "test_certificate.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>

#include <tuple>

namespace orvane::testing {

SmtpSinkServer::SmtpSinkServer(Options options) : options_(std::move(options)) {}

bool SmtpSinkServer::start() {
    return process_.startRetryingPorts([this] { return startOnce(); });
}

bool SmtpSinkServer::startOnce() {
    const bool tls = !options_.certFile.isEmpty();
    std::tie(port_, smtpsPort_) = freeLoopbackPorts(tls);
    QStringList args{QStringLiteral(ORVANE_MAIL_SERVERS_DIR "/smtp_sink.py"),
                     QStringLiteral("--port"),
                     QString::number(port_),
                     QStringLiteral("--outdir"),
                     dir_.path(),
                     QStringLiteral("--user"),
                     user(),
                     QStringLiteral("--password"),
                     password()};
    if (tls) {
        args << QStringLiteral("--cert") << options_.certFile << QStringLiteral("--key")
             << options_.keyFile << QStringLiteral("--smtps-port") << QString::number(smtpsPort_);
    }
    if (!options_.offerAuth) {
        args << QStringLiteral("--no-auth");
    }
    if (options_.refuseStartTls) {
        args << QStringLiteral("--refuse-starttls");
    }
    if (options_.trickleMs > 0) {
        args << QStringLiteral("--trickle-ms") << QString::number(options_.trickleMs);
    }
    process_->setProcessChannelMode(QProcess::SeparateChannels);
    process_->start(QStringLiteral("/usr/bin/python3"), args);
    if (!process_->waitForStarted(10000)) {
        error_ = QStringLiteral("smtp_sink.py did not start: ") + process_->errorString();
        return false;
    }
    QByteArray output;
    while (!output.contains("READY")) {
        if (!process_->waitForReadyRead(30000)) {
            process_->waitForFinished(100);
            error_ = QStringLiteral("smtp_sink.py did not get ready: ") +
                     QString::fromLocal8Bit(output + process_->readAllStandardError());
            return false;
        }
        output += process_->readAllStandardOutput();
    }
    return true;
}

QStringList SmtpSinkServer::loginAttempts() const {
    QFile file(dir_.filePath(QStringLiteral("logins.txt")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray SmtpSinkServer::received() const {
    QFile file(dir_.filePath(QStringLiteral("received.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<SmtpSinkServer::Captured> SmtpSinkServer::captured() const {
    QList<Captured> result;
    QDir dir(dir_.path());
    for (const QString& name : dir.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name)) {
        QFile message(dir.filePath(name));
        QFile meta(dir.filePath(name.chopped(4) + QStringLiteral(".json")));
        if (!message.open(QIODevice::ReadOnly) || !meta.open(QIODevice::ReadOnly)) {
            continue;
        }
        result.append({message.readAll(), QJsonDocument::fromJson(meta.readAll()).object()});
    }
    return result;
}

}  // namespace orvane::testing
