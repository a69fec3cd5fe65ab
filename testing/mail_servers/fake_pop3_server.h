#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QString>

#include <atomic>
#include <future>
#include <optional>
#include <thread>

class QTcpSocket;

namespace orvane::testing {

// A scripted POP3 server on 127.0.0.1 for faults that a real server does not
// produce on demand, such as a connection that ends in the middle of a RETR.
// It serves one connection at a time on its own thread (clients under test
// block their thread), accepts any user with the password "secret", and
// carries out deletions only on QUIT, as POP3 requires.
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
        // RETR of this message is answered with -ERR.
        std::optional<int> refuseRetrOf;
    };

    explicit FakePop3Server(Script script);
    ~FakePop3Server();
    FakePop3Server(const FakePop3Server&) = delete;
    FakePop3Server& operator=(const FakePop3Server&) = delete;

    bool start();
    quint16 port() const { return port_; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(port_); }

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
    bool dropped_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    quint16 port_ = 0;
};

}  // namespace orvane::testing
