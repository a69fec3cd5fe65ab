#pragma once

#include "server_process.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace orvane::testing {

// A private Dovecot POP3 server on 127.0.0.1 for one test: its own
// configuration, run and state folders and one Maildir user, on free ports;
// stopped by the destructor. Works as root (mail then belongs to nobody,
// because Dovecot refuses uid 0 for mail) and as an ordinary user.
class DovecotServer {
  public:
    struct Options {
        // PEM files; empty: no TLS at all (no STLS, no implicit-TLS port).
        QString certFile;
        QString keyFile;
    };

    explicit DovecotServer(Options options);
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // Starts Dovecot and waits until it accepts connections.
    bool start();
    const QString& error() const { return error_; }

    quint16 pop3Port() const { return pop3Port_; }    // plain, STLS when TLS is on
    quint16 pop3sPort() const { return pop3sPort_; }  // implicit TLS (0 without TLS)
    static QString user() { return QStringLiteral("testuser"); }
    static QString password() { return QStringLiteral("testpass"); }
    QString maildir() const;

    // Puts one message into the mailbox the way a delivery agent does.
    bool deliver(const QByteArray& message);
    // Mails in the mailbox (new and cur).
    int messageCount() const;
    QString log() const;

  private:
    bool startOnce();

    Options options_;
    QTemporaryDir dir_;
    ServerProcess process_;
    quint16 pop3Port_ = 0;
    quint16 pop3sPort_ = 0;
    int delivered_ = 0;
    QString error_;
};

}  // namespace orvane::testing
