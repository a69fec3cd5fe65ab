#pragma once

#include "server_process.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvane::testing {

// The receiving SMTP server of smtp_sink.py (aiosmtpd) on 127.0.0.1, on free
// ports; stopped by the destructor.
class SmtpSinkServer {
  public:
    struct Options {
        QString certFile;  // with a certificate: STARTTLS and an implicit-TLS port
        QString keyFile;
        bool offerAuth = true;        // false: AUTH is never offered
        bool refuseStartTls = false;  // offer STARTTLS, then answer it with 454
        int trickleMs = 0;            // every byte of a reply on its own, this far apart
    };
    struct Captured {
        QByteArray message;
        QJsonObject envelope;  // mail_from, rcpt_tos, login, tls
    };

    explicit SmtpSinkServer(Options options);
    SmtpSinkServer(const SmtpSinkServer&) = delete;
    SmtpSinkServer& operator=(const SmtpSinkServer&) = delete;

    bool start();
    const QString& error() const { return error_; }

    quint16 port() const { return port_; }
    quint16 smtpsPort() const { return smtpsPort_; }
    static QString user() { return QStringLiteral("testuser"); }
    static QString password() { return QStringLiteral("testpass"); }

    // The messages accepted so far, in order.
    QList<Captured> captured() const;
    // Each login attempt that reached the server: "MECHANISM tls=True|False".
    QStringList loginAttempts() const;
    // Every byte the clients sent, decrypted, in order.
    QByteArray received() const;

  private:
    bool startOnce();

    Options options_;
    QTemporaryDir dir_;
    ServerProcess process_;
    quint16 port_ = 0;
    quint16 smtpsPort_ = 0;
    QString error_;
};

}  // namespace orvane::testing
