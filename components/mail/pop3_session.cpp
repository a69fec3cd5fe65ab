#include "pop3_session.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <deque>

namespace orvane::mail {

namespace {

using StatusLine = Pop3ReplyReader::StatusLine;

int ms(std::chrono::milliseconds duration) {
    return static_cast<int>(duration.count());
}

QString serverText(const QByteArray& text) {
    return QString::fromUtf8(text).trimmed();
}

// A short Japanese account of a socket error, or Qt's own text.
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
            default:
                return QStringLiteral("証明書を確認できません: ") +
                       socket.sslHandshakeErrors().first().errorString();
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
        default:
            return socket.errorString();
    }
}

bool hasLineBreak(const QString& text) {
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

}  // namespace

Pop3Session::Pop3Session(TransportOptions options) : options_(std::move(options)) {}

Pop3Session::~Pop3Session() {
    if (socket_) {
        socket_->abort();
    }
}

Failure Pop3Session::failure(FailureKind kind, const QString& detail) const {
    const QString server = address_.display();
    QString text;
    switch (kind) {
        case FailureKind::Unreachable:
            text = QStringLiteral("メールサーバー %1 に接続できません").arg(server);
            break;
        case FailureKind::Timeout:
            text = QStringLiteral("メールサーバー %1 から応答がありません").arg(server);
            break;
        case FailureKind::Tls:
            text = QStringLiteral(
                       "メールサーバー %1 と安全に接続できません。暗号化か証明書の確認に"
                       "失敗しました")
                       .arg(server);
            break;
        case FailureKind::Login:
            text = QStringLiteral(
                       "メールサーバー %1 にログインできません。ユーザー名かパスワードを"
                       "確かめてください")
                       .arg(server);
            break;
        case FailureKind::Refused:
            text = QStringLiteral("メールサーバー %1 が要求を断りました").arg(server);
            break;
        case FailureKind::ConnectionLost:
            text = QStringLiteral("メールサーバー %1 との接続が途中で切れました").arg(server);
            break;
        case FailureKind::Protocol:
            text = QStringLiteral("メールサーバー %1 の応答が正しくありません").arg(server);
            break;
        default:
            text = QStringLiteral("受信したメールを保存できません");
            break;
    }
    if (!detail.isEmpty()) {
        text += QStringLiteral("（%1）").arg(detail);
    }
    return {kind, text};
}

Failure Pop3Session::socketFailure(const QString& during) const {
    const auto error = socket_->error();
    const QString detail =
        during.isEmpty() ? describe(*socket_) : during + QStringLiteral(": ") + describe(*socket_);
    switch (error) {
        case QAbstractSocket::SocketTimeoutError:
            return failure(FailureKind::Timeout, detail);
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

Status Pop3Session::connectToServer(const ServerAddress& address) {
    address_ = address;
    socket_ = std::make_unique<QSslSocket>();
    socket_->setProxy(QNetworkProxy::NoProxy);
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(options_.extraCaCertificates());
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket_->setSslConfiguration(tls);

    if (address.implicitTls) {
        socket_->connectToHostEncrypted(address.host, address.port, address.host);
        if (!socket_->waitForEncrypted(ms(options_.connectTimeout))) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError &&
                socket_->state() != QAbstractSocket::ConnectedState) {
                return failure(FailureKind::Unreachable, QStringLiteral("時間切れ"));
            }
            return socketFailure({});
        }
    } else {
        socket_->connectToHost(address.host, address.port);
        if (!socket_->waitForConnected(ms(options_.connectTimeout))) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError) {
                return failure(FailureKind::Unreachable, QStringLiteral("時間切れ"));
            }
            return failure(FailureKind::Unreachable, describe(*socket_));
        }
    }
    // Commands are small and flushed on purpose; do not let them wait for
    // the acknowledgement of earlier ones.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);

    if (Status greeting = expectOk(QStringLiteral("挨拶"), FailureKind::Protocol)) {
        return greeting;
    }
    if (Status capa = readCapabilities()) {
        return capa;
    }
    if (!address.implicitTls && capabilities_.contains("STLS")) {
        return startTls();
    }
    return std::nullopt;
}

Status Pop3Session::startTls() {
    if (Status sent = send("STLS")) {
        return sent;
    }
    if (Status ok = expectOk(QStringLiteral("STLS"), FailureKind::Tls)) {
        return ok;
    }
    // Anything that came before the handshake was not protected: refuse it
    // rather than mix it into the encrypted session.
    if (reader_.pending() > 0 || socket_->bytesAvailable() > 0) {
        return failure(FailureKind::Tls, QStringLiteral("STLS の前に余分なデータがあります"));
    }
    socket_->startClientEncryption();
    if (!socket_->waitForEncrypted(ms(options_.idleTimeout))) {
        return socketFailure(QStringLiteral("STLS"));
    }
    // The capabilities may differ once the connection is protected.
    return readCapabilities();
}

bool Pop3Session::isEncrypted() const {
    return socket_ && socket_->isEncrypted();
}

Status Pop3Session::queue(const QByteArray& command) {
    const QByteArray line = command + "\r\n";
    if (socket_->write(line) != line.size()) {
        return socketFailure({});
    }
    return std::nullopt;
}

Status Pop3Session::send(const QByteArray& command) {
    if (Status queued = queue(command)) {
        return queued;
    }
    socket_->flush();
    return std::nullopt;
}

Status Pop3Session::readMore() {
    if (socket_->bytesAvailable() == 0) {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
            return failure(FailureKind::ConnectionLost);
        }
        if (!socket_->waitForReadyRead(ms(options_.idleTimeout))) {
            if (socket_->error() == QAbstractSocket::SocketTimeoutError) {
                return failure(FailureKind::Timeout);
            }
            if (socket_->bytesAvailable() == 0) {
                return socketFailure({});
            }
        }
    }
    reader_.append(socket_->readAll());
    return std::nullopt;
}

Expected<StatusLine> Pop3Session::readStatus() {
    for (;;) {
        if (std::optional<StatusLine> line = reader_.takeStatusLine()) {
            return *line;
        }
        if (Status more = readMore()) {
            return *more;
        }
    }
}

Expected<StatusLine> Pop3Session::readWellFormedStatus() {
    Expected<StatusLine> status = readStatus();
    if (status && status->kind == StatusLine::Kind::Malformed) {
        return failure(FailureKind::Protocol, serverText(status->text.left(200)));
    }
    return status;
}

Status Pop3Session::expectOk(const QString& whatFailed, FailureKind kind) {
    Expected<StatusLine> status = readWellFormedStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return failure(kind, whatFailed + QStringLiteral(": ") + serverText(status->text));
    }
    return std::nullopt;
}

Expected<QByteArray> Pop3Session::readMultiLine() {
    QByteArray data;
    while (!reader_.takeMultiLineData(data)) {
        if (Status more = readMore()) {
            return *more;
        }
    }
    return data;
}

Status Pop3Session::readCapabilities() {
    capabilities_.clear();
    saslMechanisms_.clear();
    if (Status sent = send("CAPA")) {
        return sent;
    }
    Expected<StatusLine> status = readStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return std::nullopt;  // an old server without CAPA: no extensions
    }
    Expected<QByteArray> lines = readMultiLine();
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
    return std::nullopt;
}

Status Pop3Session::login(const QString& user, const QString& password) {
    if (hasLineBreak(user) || hasLineBreak(password)) {
        return failure(FailureKind::Login, QStringLiteral("使えない文字が含まれています"));
    }
    if (saslMechanisms_.contains("PLAIN")) {
        const QByteArray plain = QByteArray(1, '\0') + user.toUtf8() + '\0' + password.toUtf8();
        if (Status sent = send("AUTH PLAIN " + plain.toBase64())) {
            return sent;
        }
        Expected<StatusLine> status = readStatus();
        if (!status) {
            return status.failure();
        }
        if (status->kind == StatusLine::Kind::Continuation) {
            // The server did not take the initial response; cancel and fall
            // back to USER/PASS.
            if (Status cancelled = send("*")) {
                return cancelled;
            }
            if (Expected<StatusLine> reply = readStatus(); !reply) {
                return reply.failure();
            }
        } else if (status->ok()) {
            return std::nullopt;
        } else {
            return failure(FailureKind::Login, serverText(status->text));
        }
    }
    if (Status sent = send("USER " + user.toUtf8())) {
        return sent;
    }
    if (Status ok = expectOk(QStringLiteral("USER"), FailureKind::Login)) {
        return ok;
    }
    if (Status sent = send("PASS " + password.toUtf8())) {
        return sent;
    }
    Expected<StatusLine> status = readStatus();
    if (!status) {
        return status.failure();
    }
    if (!status->ok()) {
        return failure(FailureKind::Login, serverText(status->text));
    }
    return std::nullopt;
}

Expected<MailboxStat> Pop3Session::stat() {
    if (Status sent = send("STAT")) {
        return *sent;
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
    MailboxStat figures;
    if (words.size() >= 2) {
        figures.count = words[0].toLongLong(&countOk);
        figures.size = words[1].toLongLong(&sizeOk);
    }
    if (!countOk || !sizeOk || figures.count < 0 || figures.size < 0) {
        return failure(FailureKind::Protocol, QStringLiteral("STAT: ") + serverText(status->text));
    }
    return figures;
}

Expected<QList<MessageListing>> Pop3Session::listing(const QByteArray& command) {
    if (Status sent = send(command)) {
        return *sent;
    }
    if (Status ok = expectOk(QString::fromLatin1(command))) {
        return *ok;
    }
    Expected<QByteArray> lines = readMultiLine();
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
            return failure(
                FailureKind::Protocol,
                QString::fromLatin1(command) + QStringLiteral(": ") + serverText(line.left(200)));
        }
        entries.append({number, words[1]});
    }
    return entries;
}

Expected<QList<MessageListing>> Pop3Session::list() {
    return listing("LIST");
}

Expected<QList<MessageListing>> Pop3Session::uidl() {
    return listing("UIDL");
}

Status Pop3Session::retrieve(const QList<int>& numbers, MessageSink& sink, bool deleteAfterSave) {
    struct Pending {
        bool retrieve;
        int number;
    };
    const std::size_t window = usesPipelining() ? kPipelineWindow : 1;
    std::deque<Pending> pending;
    unretrievable_.clear();
    qsizetype next = 0;
    int finishedSinceCommit = 0;
    QByteArray chunk;

    while (next < numbers.size() || !pending.empty()) {
        bool wrote = false;
        while (next < numbers.size() && pending.size() < window) {
            if (Status queued = queue("RETR " + QByteArray::number(numbers[next]))) {
                return queued;
            }
            pending.push_back({true, numbers[next]});
            ++next;
            wrote = true;
        }
        if (wrote) {
            socket_->flush();
        }

        const Pending current = pending.front();
        pending.pop_front();
        if (!current.retrieve) {
            if (Status ok = expectOk(QStringLiteral("DELE %1").arg(current.number))) {
                return ok;
            }
            continue;
        }
        Expected<StatusLine> status = readWellFormedStatus();
        if (!status) {
            return status.failure();
        }
        if (!status->ok()) {
            // One mail the server cannot hand out must not hold up the others:
            // it stays on the server and is tried again next time.
            unretrievable_.append(
                {current.number,
                 failure(FailureKind::Refused, QStringLiteral("RETR %1: ").arg(current.number) +
                                                   serverText(status->text))});
            continue;
        }
        if (Status begun = sink.begin(current.number)) {
            return begun;
        }
        for (;;) {
            const bool complete = reader_.takeMultiLineData(chunk);
            if (!chunk.isEmpty()) {
                Status written = sink.write(chunk);
                chunk.clear();
                if (written) {
                    sink.abandon();
                    return written;
                }
            }
            if (complete) {
                break;
            }
            if (Status more = readMore()) {
                sink.abandon();
                return more;
            }
        }
        if (Status stored = sink.finish(current.number)) {
            return stored;
        }
        ++finishedSinceCommit;
        const bool moreToCome =
            next < numbers.size() || std::any_of(pending.begin(), pending.end(),
                                                 [](const Pending& p) { return p.retrieve; });
        if (usesPipelining() && moreToCome && finishedSinceCommit < kCommitBatch) {
            continue;
        }
        finishedSinceCommit = 0;
        Expected<QList<int>> durable = sink.commit();
        if (!durable) {
            return durable.failure();
        }
        if (deleteAfterSave) {
            for (int number : *durable) {
                if (Status queued = queue("DELE " + QByteArray::number(number))) {
                    return queued;
                }
                pending.push_back({false, number});
            }
            socket_->flush();
        }
    }
    return std::nullopt;
}

Status Pop3Session::quit() {
    if (Status sent = send("QUIT")) {
        return sent;
    }
    Status ok = expectOk(QStringLiteral("QUIT"));
    socket_->disconnectFromHost();
    if (socket_->state() != QAbstractSocket::UnconnectedState) {
        socket_->waitForDisconnected(1000);
    }
    return ok;
}

}  // namespace orvane::mail
