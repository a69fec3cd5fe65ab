#include "news_http_server.h"

#include <QDeadlineTimer>
#include <QTcpSocket>

namespace orvane::news::testing {

NewsHttpServer::NewsHttpServer(const QString& docRoot, const QString& certFile,
                               const QString& keyFile)
    : tls_(!certFile.isEmpty()) {
    QStringList arguments{QStringLiteral(NEWS_TEST_SERVER_SCRIPT), docRoot};
    if (tls_) {
        arguments << certFile << keyFile;
    }
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("python3"), arguments);
    const QString port = waitForLine(QStringLiteral("port "), 15000);
    port_ = static_cast<quint16>(port.toUInt());
}

NewsHttpServer::~NewsHttpServer() {
    process_.kill();
    process_.waitForFinished(5000);
}

QString NewsHttpServer::url(const QString& path) const {
    return QStringLiteral("%1://127.0.0.1:%2/%3")
        .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
        .arg(port_)
        .arg(path);
}

QString NewsHttpServer::waitForLine(const QString& prefix, int timeoutMs) {
    const QByteArray wanted = prefix.toUtf8();
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        output_ += process_.readAllStandardOutput();
        for (const QByteArray& line : output_.split('\n')) {
            if (line.startsWith(wanted) && output_.contains(line + '\n')) {
                return QString::fromUtf8(line.mid(wanted.size()));
            }
        }
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) {
            return {};
        }
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

int NewsHttpServer::requestCount() {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port_);
    if (!socket.waitForConnected(5000)) {
        return -1;
    }
    socket.write("GET /requests HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray answer;
    while (socket.waitForReadyRead(5000) || socket.bytesAvailable() > 0) {
        answer += socket.readAll();
    }
    const qsizetype body = answer.indexOf("\r\n\r\n");
    bool ok = false;
    const int count = body < 0 ? -1 : answer.mid(body + 4).trimmed().toInt(&ok);
    return ok ? count : -1;
}

}  // namespace orvane::news::testing
