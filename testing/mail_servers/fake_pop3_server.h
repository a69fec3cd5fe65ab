#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <thread>

class QTcpSocket;

namespace orvane::testing {

// A scripted POP3 server on 127.0.0.1 for faults that a real server does not
// produce on demand, such as a connection that ends in the middle of a RETR,
// or a hostile server. It never offers STLS. It serves one connection at a
// time on its own thread (clients under test block their thread), accepts any
// user with the password "secret", and carries out deletions only on QUIT,
// as POP3 requires.
class FakePop3Server {
  public:
    struct Script {
        QList<QByteArray> messages;  // the mailbox, message 1 first (CRLF lines)
        bool pipelining = true;
        // Ends the connection after sending this many bytes of the message
        // with this number, in the first session only.
        std::optional<int> dropDuringRetrOf;
        qsizetype dropAfterBytes = 0;
        // Instead of ending the connection there, fall silent until the
        // client gives up.
        bool stallInsteadOfDrop = false;
        // RETR of this message is answered with -ERR (see setRefusedRetr).
        std::optional<int> refuseRetrOf;
        // This command ("CAPA", "LIST" or "UIDL") answers with lines that go
        // on and on (until the client leaves, or kEndlessReplyBytes have gone
        // out).
        QByteArray endlessReplyTo;
        // STAT answers "+OK " followed by this instead of the true figures.
        QByteArray statClaim;
        // Every byte goes out on its own, this long after the one before.
        std::chrono::milliseconds trickle{0};
    };
    // Where an endless reply gives up and ends after all, so that a client
    // that keeps reading fails its test instead of hanging.
    static constexpr qsizetype kEndlessReplyBytes = 64 * 1024 * 1024;

    explicit FakePop3Server(Script script);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    bool start();
    quint16 port() const { return port_; }
    // The server as an account names it: plain text allowed.
    QString address() const { return QStringLiteral("pop3://127.0.0.1:%1").arg(port_); }
    // Without the scheme: an account that requires encryption.
    QString bareAddress() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

    // From the next command on, RETR of this message (none: of no message)
    // is answered with -ERR.
    void setRefusedRetr(std::optional<int> number);

    // The messages still in the mailbox.
    QList<QByteArray> mailbox() const;
    // Every command received, in order (passwords masked).
    QList<QByteArray> commands() const;

  private:
    void run(std::promise<quint16>* ready);
    void serve(QTcpSocket& socket);

    Script script_;
    mutable QMutex mutex_;
    QList<QByteArray> mailbox_;
    QList<QByteArray> commands_;
    std::optional<int> refusedRetr_;
    bool dropped_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    quint16 port_ = 0;
};

}  // namespace orvane::testing
