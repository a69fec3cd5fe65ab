#pragma once

#include "pop3_reply_reader.h"
#include "server_address.h"
#include "transport_options.h"
#include "transport_result.h"

#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>

class QSslSocket;

namespace orvane::mail {

// Receives the messages a Pop3Session retrieves, one after the other.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual Status begin(int number) = 0;
    virtual Status write(QByteArrayView data) = 0;
    // The message arrived whole. It need not be on disk yet: see commit.
    virtual Status finish(int number) = 0;
    // Makes every finished message durable and returns their numbers, in
    // order; only these may be deleted on the server.
    virtual Expected<QList<int>> commit() = 0;
    // The message in progress will not be finished (the connection failed).
    virtual void abandon() = 0;
};

struct MailboxStat {
    qint64 count = 0;
    qint64 size = 0;
};

struct MessageListing {
    int number = 0;
    QByteArray value;  // the size (LIST) or the unique ID (UIDL)
};

// One blocking POP3 conversation over TCP, with TLS from the start or
// through STLS whenever the server offers it (RFC 1939, 2449, 2595).
//
// Every call waits on the socket itself, so it works without a running event
// loop, on the GUI thread as in a command-line program. Calls are made in
// protocol order: connectToServer, login, then any of the mailbox commands,
// then quit. Deletions take effect only when quit succeeds; destroying the
// session without quit drops the connection and the server keeps every mail.
class Pop3Session {
  public:
    explicit Pop3Session(TransportOptions options);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    Status connectToServer(const ServerAddress& address);
    // AUTH PLAIN where the server offers it, else USER and PASS.
    Status login(const QString& user, const QString& password);
    Expected<MailboxStat> stat();
    Expected<QList<MessageListing>> list();
    Expected<QList<MessageListing>> uidl();
    // Retrieves the messages in the given order into `sink`; with
    // deleteAfterSave each message is marked for deletion once the sink has
    // stored it. Commands are pipelined when the server offers PIPELINING.
    // A message that the server refuses to hand out is passed over (and kept
    // on the server); see unretrievable().
    Status retrieve(const QList<int>& numbers, MessageSink& sink, bool deleteAfterSave);
    struct Unretrievable {
        int number;
        Failure failure;
    };
    // The messages the last retrieve passed over.
    const QList<Unretrievable>& unretrievable() const { return unretrievable_; }
    // Ends the session; the server then carries out the deletions.
    Status quit();

    bool isEncrypted() const;
    bool usesPipelining() const { return capabilities_.contains("PIPELINING"); }
    const QSet<QByteArray>& capabilities() const { return capabilities_; }
    // Most commands that are sent before their replies are read.
    static constexpr int kPipelineWindow = 64;
    // Finished messages that are made durable together (pipelining only;
    // one flush of the file system then covers many files).
    static constexpr int kCommitBatch = 32;

  private:
    // Writes one command line; queue leaves it for a later flush.
    Status queue(const QByteArray& command);
    Status send(const QByteArray& command);
    Status readMore();
    Expected<Pop3ReplyReader::StatusLine> readStatus();
    // readStatus, with a malformed line as a protocol failure.
    Expected<Pop3ReplyReader::StatusLine> readWellFormedStatus();
    Status expectOk(const QString& whatFailed, FailureKind kind = FailureKind::Refused);
    Expected<QByteArray> readMultiLine();
    Expected<QList<MessageListing>> listing(const QByteArray& command);
    Status readCapabilities();
    Status startTls();
    Failure socketFailure(const QString& during) const;
    Failure failure(FailureKind kind, const QString& detail = {}) const;

    TransportOptions options_;
    std::unique_ptr<QSslSocket> socket_;
    Pop3ReplyReader reader_;
    ServerAddress address_;
    QSet<QByteArray> capabilities_;
    QSet<QByteArray> saslMechanisms_;
    QList<Unretrievable> unretrievable_;
};

}  // namespace orvane::mail
