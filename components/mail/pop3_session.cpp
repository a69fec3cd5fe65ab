#include "pop3_session.h"

#include "transport_failure.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>

#include <deque>

namespace orvane::mail {

namespace {

using StatusLine = Pop3ReplyReader::StatusLine;

int ms(std::chrono::milliseconds duration) {
    return static_cast<int>(duration.count());
}

QString serverText(const QByteArray& text) {
    return QString::fromUtf8(text.left(200)).trimmed();
}

// A short Japanese account of a socket error.
QString describe(const QSslSocket& socket) {
    if (!socket.sslHandshakeErrors().isEmpty()) {
        switch (socket.sslHandshakeErrors().first().error()) {
            case QSslError::SelfSignedCertificate:
            case QSslError::SelfSignedCertificateInChain:
            case QSslError::UnableToGetLocalIssuerCertificate:
            case QSslError::UnableToVerifyFirstCertificate:
            case QSslError::CertificateUntrusted:
                return QStringLiteral("証明書の発行元を信頼できません");
            case QSslError::HostNameMismatch:
                return QStringLiteral("証明書の名前がサーバー名と合いません");
            case QSslError::CertificateExpired:
                return QStringLiteral("証明書の期限が切れています");
            case QSslError::CertificateNotYetValid:
                return QStringLiteral("証明書の有効期間がまだ始まっていません");
            case QSslError::CertificateRevoked:
                return QStringLiteral("証明書は取り消されています");
            default:
                return QStringLiteral("証明書を確認できません");
        }
    }
    switch (socket.error()) {
        case QAbstractSocket::HostNotFoundError:
            return QStringLiteral("サーバー名が見つかりません");
        case QAbstractSocket::ConnectionRefusedError:
            return QStringLiteral("接続を拒否されました");
        case QAbstractSocket::SocketTimeoutError:
            return QStringLiteral("時間切れ");
        case QAbstractSocket::RemoteHostClosedError:
            return QStringLiteral("サーバーが接続を閉じました");
        case QAbstractSocket::NetworkError:
            return QStringLiteral("ネットワークの障害");
        case QAbstractSocket::SslHandshakeFailedError:
            return QStringLiteral("暗号化の開始に失敗しました");
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return QStringLiteral("暗号化の処理に失敗しました");
        case QAbstractSocket::SocketAccessError:
            return QStringLiteral("通信する権限がありません");
        case QAbstractSocket::SocketResourceError:
            return QStringLiteral("通信に使う資源が足りません");
        default:
            return QStringLiteral("通信の障害");
    }
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

}  // namespace

MessageNumbers MessageNumbers::upTo(int count) {
    MessageNumbers numbers;
    numbers.count_ = std::max(0, count);
    return numbers;
}

MessageNumbers::MessageNumbers(QList<int> numbers) : list_(std::move(numbers)) {}

Pop3Session::Pop3Session(TransportOptions options)
    : options_(std::move(options)), deadline_(options_) {}

Pop3Session::~Pop3Session() {
    if (socket_) {
        socket_->abort();
    }
}

Failure Pop3Session::failure(FailureKind kind, const QString& detail) const {
    return serverFailure(ServerRole::Receiving, kind, address_.display(), detail);
}

Failure Pop3Session::timedOut() const {
    return failure(FailureKind::Timeout, deadline_.passed()
                                             ? deadlineDetail(deadline_.allowedSeconds())
                                             : silenceDetail());
}

Failure Pop3Session::socketFailure(const QString& during) const {
    const auto error = socket_->error();
    if (error == QAbstractSocket::SocketTimeoutError) {
        return timedOut();
    }
    const QString detail =
        during.isEmpty() ? describe(*socket_) : during + QStringLiteral(": ") + describe(*socket_);
    switch (error) {
        case QAbstractSocket::SslHandshakeFailedError:
        case QAbstractSocket::SslInternalError:
        case QAbstractSocket::SslInvalidUserDataError:
            return failure(FailureKind::Tls, detail);
        case QAbstractSocket::RemoteHostClosedError:
            return failure(FailureKind::ConnectionLost, detail);
        default:
            break;
    }
    if (!socket_->sslHandshakeErrors().isEmpty()) {
        return failure(FailureKind::Tls, detail);
    }
    return failure(socket_->state() == QAbstractSocket::ConnectedState ||
                           error == QAbstractSocket::NetworkError
                       ? FailureKind::ConnectionLost
                       : FailureKind::Unreachable,
                   detail);
}

Expected<void> Pop3Session::connectToServer(const ServerAddress& address) {
    address_ = address;
    deadline_ = OperationDeadline(options_);
    socket_ = std::make_unique<QSslSocket>();
    socket_->setProxy(QNetworkProxy::NoProxy);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(options_.extraCaCertificates());
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_->setSslConfiguration(tls);

    const int connectWait = ms(deadline_.cap(options_.connectTimeout));
    if (address.implicitTls) {
        socket_->connectToHostEncrypted(address.host, address.port, address.host);
        if (!socket_->waitForEncrypted(connectWait)) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError &&
                socket_->state() != QAbstractSocket::ConnectedState) {
                return failure(FailureKind::Unreachable, QStringLiteral("時間切れ"));
            }
            return socketFailure({});
        }
    } else {
        socket_->connectToHost(address.host, address.port);
        if (!socket_->waitForConnected(connectWait)) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError) {
                return failure(FailureKind::Unreachable, QStringLiteral("時間切れ"));
            }
            return failure(FailureKind::Unreachable, describe(*socket_));
        }
    }
    // Commands are small and flushed on purpose; do not let them wait for
    // the acknowledgement of earlier ones.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    if (Expected<void> greeting = expectOk(QStringLiteral("挨拶"), FailureKind::Protocol);
        !greeting) {
        return greeting;
    }
    if (Expected<void> capa = readCapabilities(); !capa) {
        return capa;
    }
    if (!address.implicitTls && capabilities_.contains("STLS")) {
        return startTls();
    }
    return success();
}

Expected<void> Pop3Session::startTls() {
    if (Expected<void> sent = send("STLS"); !sent) {
        return sent;
    }
    if (Expected<void> ok = expectOk(QStringLiteral("STLS"), FailureKind::Tls); !ok) {
        return ok;
    }
    // Anything that came before the handshake was not protected: refuse it
    // rather than mix it into the encrypted session.
    if (reader_.pending() > 0 || socket_->bytesAvailable() > 0) {
        return failure(FailureKind::Tls, QStringLiteral("STLS の前に余分なデータがあります"));
    }
    socket_->startClientEncryption();
    if (!socket_->waitForEncrypted(ms(deadline_.cap(options_.idleTimeout)))) {
        return socketFailure(QStringLiteral("STLS"));
    }
    // The capabilities may differ once the connection is protected.
    return readCapabilities();
}

bool Pop3Session::isEncrypted() const {
    return socket_ && socket_->isEncrypted();
}

Expected<void> Pop3Session::queue(const QByteArray& command) {
    const QByteArray line = command + "\r\n";
    if (socket_->write(line) != line.size()) {
        return socketFailure({});
    }
    return success();
}

Expected<void> Pop3Session::send(const QByteArray& command) {
    if (Expected<void> queued = queue(command); !queued) {
        return queued;
    }
    socket_->flush();
    return success();
}

Expected<void> Pop3Session::readMore() {
    if (socket_->bytesAvailable() == 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            return failure(FailureKind::ConnectionLost);
        }
        if (deadline_.passed()) {
            return timedOut();
        }
        if (!socket_->waitForReadyRead(ms(deadline_.cap(options_.idleTimeout)))) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError) {
                return timedOut();
            }
            if (socket_->bytesAvailable() == 0) {
                return socketFailure({});
            }
        }
    }
    const QByteArray data = socket_->readAll();
    deadline_.addBytes(data.size());
    reader_.append(data);
    return success();
}

Expected<StatusLine> Pop3Session::readStatus() {
    for (;;) {
        if (std::optional<StatusLine> line = reader_.takeStatusLine()) {
            return *line;
        }
        if (Expected<void> more = readMore(); !more) {
            return more.failure();
        }
    }
}

Expected<StatusLine> Pop3Session::readWellFormedStatus() {
    Expected<StatusLine> status = readStatus();
    if (status && status->kind == StatusLine::Kind::Malformed) {
        return failure(FailureKind::Protocol, serverText(status->text));
    }
    return status;
}

Expected<void> Pop3Session::expectOk(const QString& whatFailed, FailureKind kind) {
    Expected<StatusLine> status = readWellFormedStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return failure(kind, whatFailed + QStringLiteral(": ") + serverText(status->text));
    }
    return success();
}

Expected<QByteArray> Pop3Session::readMultiLine(const QByteArray& command, qsizetype limit) {
    QByteArray data;
    while (!reader_.takeMultiLineData(data)) {
        if (data.size() > limit) {
            // The rest of the reply is not worth reading: the session ends here.
            socket_->abort();
            return failure(FailureKind::Protocol,
                           QStringLiteral("%1 の応答が %2 KB を超えたため、受け取りを中止しました")
                               .arg(QString::fromLatin1(command))
                               .arg(limit / 1024));
        }
        if (Expected<void> more = readMore(); !more) {
            return more.failure();
        }
    }
    if (data.size() > limit) {
        return failure(FailureKind::Protocol, QStringLiteral("%1 の応答が %2 KB を超えました")
                                                  .arg(QString::fromLatin1(command))
                                                  .arg(limit / 1024));
    }
    return data;
}

Expected<void> Pop3Session::readCapabilities() {
    capabilities_.clear();
    saslMechanisms_.clear();
    if (Expected<void> sent = send("CAPA"); !sent) {
        return sent;
    }
    Expected<StatusLine> status = readStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return success();  // an old server without CAPA: no extensions
    }
    Expected<QByteArray> lines = readMultiLine("CAPA", kMaxReplyBytes);
    if (!lines) {
        return lines.failure();
    }
    for (const QByteArray& line : lines->split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        const QByteArray name = words.first().toUpper();
        if (name.isEmpty()) {
            continue;
        }
        capabilities_.insert(name);
        if (name == "SASL") {
            for (qsizetype i = 1; i < words.size(); ++i) {
                saslMechanisms_.insert(words[i].toUpper());
            }
        }
    }
    return success();
}

Expected<void> Pop3Session::login(const QString& user, const QString& password) {
    if (!isEncrypted() && !address_.plainAllowed) {
        return plainConnectionRefused(ServerRole::Receiving, address_.display());
    }
    if (hasLineBreak(user) || hasLineBreak(password)) {
        return failure(FailureKind::Login, QStringLiteral("使えない文字が含まれています"));
    }
    if (saslMechanisms_.contains("PLAIN")) {
        const QByteArray plain = QByteArray(1, '\0') + user.toUtf8() + '\0' + password.toUtf8();
        if (Expected<void> sent = send("AUTH PLAIN " + plain.toBase64()); !sent) {
            return sent;
        }
        Expected<StatusLine> status = readStatus();
        if (!status) {
            return status.failure();
        }
        if (status->kind == StatusLine::Kind::Continuation) {
            // The server did not take the initial response; cancel and fall
            // back to USER/PASS.
            if (Expected<void> cancelled = send("*"); !cancelled) {
                return cancelled;
            }
            if (Expected<StatusLine> reply = readStatus(); !reply) {
                return reply.failure();
            }
        } else if (status->ok()) {
            return success();
        } else {
            return failure(FailureKind::Login, serverText(status->text));
        }
    }
    if (Expected<void> sent = send("USER " + user.toUtf8()); !sent) {
        return sent;
    }
    if (Expected<void> ok = expectOk(QStringLiteral("USER"), FailureKind::Login); !ok) {
        return ok;
    }
    if (Expected<void> sent = send("PASS " + password.toUtf8()); !sent) {
        return sent;
    }
    Expected<StatusLine> status = readStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return failure(FailureKind::Login, serverText(status->text));
    }
    return success();
}

Expected<MailboxStat> Pop3Session::stat() {
    if (Expected<void> sent = send("STAT"); !sent) {
        return sent.failure();
    }
    Expected<StatusLine> status = readStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return failure(FailureKind::Refused, QStringLiteral("STAT: ") + serverText(status->text));
    }
    const QList<QByteArray> words = status->text.simplified().split(' ');
    bool countOk = false;
    bool sizeOk = false;
    qint64 count = -1;
    qint64 size = -1;
    if (words.size() >= 2) {
        count = words[0].toLongLong(&countOk);
        size = words[1].toLongLong(&sizeOk);
    }
    if (!countOk || !sizeOk || count < 0 || size < 0) {
        return failure(FailureKind::Protocol, QStringLiteral("STAT: ") + serverText(status->text));
    }
    if (count > kMaxMessageCount) {
        return failure(FailureKind::Protocol,
                       QStringLiteral("STAT: メールが %1 通という答えは多すぎて受け付けられません")
                           .arg(count));
    }
    return MailboxStat{static_cast<int>(count), size};
}

Expected<QList<MessageListing>> Pop3Session::listing(const QByteArray& command, int expectedCount) {
    if (Expected<void> sent = send(command); !sent) {
        return sent.failure();
    }
    if (Expected<void> ok = expectOk(QString::fromLatin1(command)); !ok) {
        return ok.failure();
    }
    const qsizetype limit =
        kMaxReplyBytes + qsizetype{std::max(0, expectedCount)} * kMaxListingLine;
    Expected<QByteArray> lines = readMultiLine(command, limit);
    if (!lines) {
        return lines.failure();
    }
    QList<MessageListing> entries;
    for (const QByteArray& line : lines->split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() < 2) {
            continue;
        }
        bool ok = false;
        const int number = words[0].toInt(&ok);
        if (!ok || number <= 0) {
            return failure(FailureKind::Protocol,
                           QString::fromLatin1(command) + QStringLiteral(": ") + serverText(line));
        }
        entries.append({number, words[1]});
    }
    return entries;
}

Expected<QList<MessageListing>> Pop3Session::list(int expectedCount) {
    return listing("LIST", expectedCount);
}

Expected<QList<MessageListing>> Pop3Session::uidl(int expectedCount) {
    return listing("UIDL", expectedCount);
}

Expected<bool> Pop3Session::retrieveOne(int number, MessageSink& sink, RetrievalReport& report) {
    Expected<StatusLine> status = readWellFormedStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        // One mail the server cannot hand out must not hold up the others:
        // it stays on the server and is tried again next time.
        if (report.refused++ == 0) {
            report.firstRefusal =
                failure(FailureKind::Refused,
                        QStringLiteral("RETR %1: ").arg(number) + serverText(status->text));
        }
        return false;
    }
    if (Expected<void> begun = sink.begin(number); !begun) {
        return begun.failure();
    }
    QByteArray chunk;
    for (;;) {
        const bool complete = reader_.takeMultiLineData(chunk);
        if (!chunk.isEmpty()) {
            Expected<void> written = sink.write(chunk);
            chunk.clear();
            if (!written) {
                sink.abandon();
                return written.failure();
            }
        }
        if (complete) {
            break;
        }
        if (Expected<void> more = readMore(); !more) {
            sink.abandon();
            return more.failure();
        }
    }
    if (Expected<void> stored = sink.finish(number); !stored) {
        return stored.failure();
    }
    return true;
}

Expected<RetrievalReport> Pop3Session::retrieve(const MessageNumbers& numbers, MessageSink& sink,
                                                bool deleteAfterSave) {
    struct Pending {
        bool retrieve;
        int number;
    };
    const std::size_t window = usesPipelining() ? kPipelineWindow : 1;
    std::deque<Pending> pending;
    RetrievalReport report;
    qsizetype next = 0;
    int retrievesPending = 0;
    int uncommitted = 0;

    while (next < numbers.size() || !pending.empty()) {
        bool wrote = false;
        while (next < numbers.size() && pending.size() < window) {
            if (Expected<void> queued = queue("RETR " + QByteArray::number(numbers.at(next)));
                !queued) {
                return queued.failure();
            }
            pending.push_back({true, numbers.at(next)});
            ++retrievesPending;
            ++next;
            wrote = true;
        }
        if (wrote) {
            socket_->flush();
        }

        const Pending current = pending.front();
        pending.pop_front();
        if (!current.retrieve) {
            if (Expected<void> ok = expectOk(QStringLiteral("DELE %1").arg(current.number)); !ok) {
                return ok.failure();
            }
            continue;
        }
        --retrievesPending;
        Expected<bool> arrived = retrieveOne(current.number, sink, report);
        if (!arrived) {
            return arrived.failure();
        }
        if (*arrived) {
            ++uncommitted;
        }
        // Finished mail is made durable in batches while more is on its way;
        // once nothing more can come (the last RETR may have been refused),
        // whatever is finished is committed.
        const bool moreToCome = next < numbers.size() || retrievesPending > 0;
        if (uncommitted == 0 || (usesPipelining() && moreToCome && uncommitted < kCommitBatch)) {
            continue;
        }
        uncommitted = 0;
        Expected<QList<int>> durable = sink.commit();
        if (!durable) {
            return durable.failure();
        }
        if (deleteAfterSave) {
            for (int number : *durable) {
                if (Expected<void> queued = queue("DELE " + QByteArray::number(number)); !queued) {
                    return queued.failure();
                }
                pending.push_back({false, number});
            }
            socket_->flush();
        }
    }
    return report;
}

Expected<void> Pop3Session::quit() {
    if (Expected<void> sent = send("QUIT"); !sent) {
        return sent;
    }
    Expected<void> ok = expectOk(QStringLiteral("QUIT"));
    socket_->disconnectFromHost();
    if (socket_->state() != QAbstractSocket::UnconnectedState) {
        socket_->waitForDisconnected(1000);
    }
    return ok;
}

}  // namespace orvane::mail
