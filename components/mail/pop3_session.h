#pragma once

#include "operation_deadline.h"
#include "pop3_reply_reader.h"
#include "server_address.h"
#include "transport_options.h"
#include "transport_result.h"

#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>

#include <memory>
#include <optional>

class QSslSocket;

namespace orvane::mail {

// Receives the messages a Pop3Session retrieves, one after the other.
class MessageSink {
  public:
    virtual ~MessageSink() = default;
    virtual Expected<void> begin(int number) = 0;
    virtual Expected<void> write(QByteArrayView data) = 0;
    // The message arrived whole. It need not be on disk yet: see commit.
    virtual Expected<void> finish(int number) = 0;
    // Makes every finished message durable and returns their numbers, in
    // order; only these may be deleted on the server.
    virtual Expected<QList<int>> commit() = 0;
    // The message in progress will not be finished (the connection failed).
    virtual void abandon() = 0;
};

struct MailboxStat {
    int count = 0;
    qint64 size = 0;
};

struct MessageListing {
    int number = 0;
    QByteArray value;  // the size (LIST) or the unique ID (UIDL)
};

// The messages to retrieve, in order: every message from 1 to a count (never
// held as a list, whatever the count), or the numbers given.
class MessageNumbers {
  public:
    static MessageNumbers upTo(int count);
    MessageNumbers(QList<int> numbers);

    qsizetype size() const { return list_ ? list_->size() : count_; }
    int at(qsizetype index) const { return list_ ? list_->at(index) : static_cast<int>(index) + 1; }

  private:
    MessageNumbers() = default;
    std::optional<QList<int>> list_;
    int count_ = 0;
};

// What a retrieve passed over: messages the server would not hand out. They
// stay on the server and are tried again next time.
struct RetrievalReport {
    int refused = 0;
    Failure firstRefusal;  // the server's words about the first one, when refused > 0
};

// One blocking POP3 conversation over TCP (RFC 1939, 2449, 2595). The
// connection is encrypted, from the start or through STLS, unless the
// address allows plain text (see ServerAddress::plainAllowed); STLS is used
// whenever it is offered. No password goes out over a plain connection that
// the address does not allow.
//
// Every call waits on the socket itself, so it works without a running event
// loop, on the GUI thread as in a command-line program. Calls are made in
// protocol order: connectToServer, login, then any of the mailbox commands,
// then quit. The whole conversation, from connectToServer on, has one time
// limit (TransportOptions::timeAllowedFor the bytes received). Deletions take
// effect only when quit succeeds; destroying the session without quit drops
// the connection and the server keeps every mail.
class Pop3Session {
  public:
    explicit Pop3Session(TransportOptions options);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    Expected<void> connectToServer(const ServerAddress& address);
    // AUTH PLAIN where the server offers it, else USER and PASS.
    Expected<void> login(const QString& user, const QString& password);
    // A count above kMaxMessageCount is refused as a protocol failure.
    Expected<MailboxStat> stat();
    // `expectedCount` (from stat) widens the size limit of the reply.
    Expected<QList<MessageListing>> list(int expectedCount);
    Expected<QList<MessageListing>> uidl(int expectedCount);
    // Retrieves the messages in the given order into `sink`; with
    // deleteAfterSave each message is marked for deletion once the sink has
    // stored it. Commands are pipelined when the server offers PIPELINING.
    // A message that the server refuses to hand out is passed over (and kept
    // on the server) and counted in the report.
    Expected<RetrievalReport> retrieve(const MessageNumbers& numbers, MessageSink& sink,
                                       bool deleteAfterSave);
    // Ends the session; the server then carries out the deletions.
    Expected<void> quit();

    bool isEncrypted() const;
    bool usesPipelining() const { return capabilities_.contains("PIPELINING"); }
    const QSet<QByteArray>& capabilities() const { return capabilities_; }
    // Most commands that are sent before their replies are read.
    static constexpr int kPipelineWindow = 64;
    // Finished messages that are made durable together (pipelining only;
    // one flush of the file system then covers many files).
    static constexpr int kCommitBatch = 32;
    // Largest multi-line reply other than a message (CAPA, and LIST or UIDL
    // beyond kMaxListingLine per message).
    static constexpr qsizetype kMaxReplyBytes = 1024 * 1024;
    // Longest LIST or UIDL line: a unique ID has at most 70 characters.
    static constexpr qsizetype kMaxListingLine = 84;
    // More messages than any mailbox holds: such a STAT is not believed.
    static constexpr qint64 kMaxMessageCount = 1000000;

  private:
    // Writes one command line; queue leaves it for a later flush.
    Expected<void> queue(const QByteArray& command);
    Expected<void> send(const QByteArray& command);
    Expected<void> readMore();
    Expected<Pop3ReplyReader::StatusLine> readStatus();
    // readStatus, with a malformed line as a protocol failure.
    Expected<Pop3ReplyReader::StatusLine> readWellFormedStatus();
    Expected<void> expectOk(const QString& whatFailed, FailureKind kind = FailureKind::Refused);
    // The data of a multi-line reply; more than `limit` bytes is refused.
    Expected<QByteArray> readMultiLine(const QByteArray& command, qsizetype limit);
    Expected<QList<MessageListing>> listing(const QByteArray& command, int expectedCount);
    // Whether the message arrived (false: the server refused it).
    Expected<bool> retrieveOne(int number, MessageSink& sink, RetrievalReport& report);
    Expected<void> readCapabilities();
    Expected<void> startTls();
    Failure socketFailure(const QString& during) const;
    Failure timedOut() const;
    Failure failure(FailureKind kind, const QString& detail = {}) const;

    TransportOptions options_;
    std::unique_ptr<QSslSocket> socket_;
    OperationDeadline deadline_;
    Pop3ReplyReader reader_;
    ServerAddress address_;
    QSet<QByteArray> capabilities_;
    QSet<QByteArray> saslMechanisms_;
};

}  // namespace orvane::mail
