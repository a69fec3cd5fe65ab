#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace orvane::news::testing {

// The HTTP(S) server of news_http_server.py, on 127.0.0.1 and a free port,
// serving the files of a folder and a few special pages (/hang, /loop, /big,
// /requests; see the script). Stopped when destroyed.
class NewsHttpServer {
  public:
    // Over TLS when a certificate and its key are given.
    explicit NewsHttpServer(const QString& docRoot, const QString& certFile = {},
                            const QString& keyFile = {});
    ~NewsHttpServer();
    NewsHttpServer(const NewsHttpServer&) = delete;
    NewsHttpServer& operator=(const NewsHttpServer&) = delete;

    bool started() const { return port_ != 0; }
    // "http://127.0.0.1:PORT/" + path (https:// over TLS).
    QString url(const QString& path) const;

    // The rest of the first line of output that begins with `prefix`, once
    // the server has written it; empty when it did not within `timeoutMs`.
    QString waitForLine(const QString& prefix, int timeoutMs);

    // The number of requests the server has had (plain HTTP only); -1 when
    // it could not be asked.
    int requestCount();

  private:
    QProcess process_;
    QByteArray output_;
    quint16 port_ = 0;
    bool tls_ = false;
};

}  // namespace orvane::news::testing
