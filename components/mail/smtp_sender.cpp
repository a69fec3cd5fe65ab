#include "smtp_sender.h"

#include "server_address.h"

#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace orvane::mail {

namespace {

constexpr const char* kSystemCaBundle = "/etc/ssl/certs/ca-certificates.crt";

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// What the conversation showed, gathered from libcurl's protocol trace.
struct Conversation {
    bool implicitTls = false;
    bool startTlsOffered = false;
    bool startTlsSent = false;
    bool tlsActive = false;
    bool authOffered = false;
    bool authenticated = false;
    bool authSent = false;
    bool wantsLogin = false;
    QByteArray lastCommand;
    QByteArray lastErrorReply;  // the last 4xx/5xx reply, as the server wrote it
    QByteArray lastReply;

    // Why the message must not go out, or empty.
    QString refusal;

    const QByteArray* message = nullptr;
    qsizetype offset = 0;
    bool gateChecked = false;

    void onCommand(const QByteArray& line) {
        lastCommand = line.left(line.indexOf(' ') < 0 ? line.size() : line.indexOf(' ')).toUpper();
        if (lastCommand == "EHLO") {
            authOffered = false;  // a new list follows; an offer of STARTTLS is kept
        } else if (lastCommand == "STARTTLS") {
            startTlsSent = true;
        } else if (lastCommand == "AUTH") {
            authSent = true;
        }
    }

    void onReply(const QByteArray& line) {
        if (line.size() < 3) {
            return;
        }
        bool ok = false;
        const int code = line.left(3).toInt(&ok);
        if (!ok) {
            return;
        }
        const QByteArray text = line.mid(4).trimmed();
        lastReply = line.trimmed();
        if (code >= 400) {
            lastErrorReply = line.trimmed();
        }
        if (lastCommand == "EHLO" && code == 250) {
            const QByteArray keyword = text.split(' ').first().toUpper();
            if (keyword == "STARTTLS") {
                startTlsOffered = true;
            } else if (keyword == "AUTH" || keyword.startsWith("AUTH=")) {
                authOffered = true;
            }
        } else if (lastCommand == "STARTTLS" && code == 220) {
            tlsActive = true;
        } else if (authSent && code == 235) {
            // 235 answers only a completed AUTH exchange (whose later lines
            // carry no command word).
            authenticated = true;
        }
    }

    // Decides, just before the message itself is sent, whether it may go.
    bool mayTransmit() {
        if (!implicitTls && startTlsOffered && !tlsActive) {
            refusal =
                QStringLiteral("送信サーバーが暗号化を受け付けなかったため、送信しませんでした");
        } else if (wantsLogin && !authOffered) {
            refusal = QStringLiteral(
                "送信サーバーがログイン（AUTH）に対応していないため、送信しません"
                "でした");
        } else if (wantsLogin && !authenticated) {
            refusal = QStringLiteral("送信サーバーにログインできなかったため、送信しませんでした");
        }
        return refusal.isEmpty();
    }
};

int onTrace(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* conversation = static_cast<Conversation*>(user);
    if (type != CURLINFO_HEADER_IN && type != CURLINFO_HEADER_OUT) {
        return 0;
    }
    const QByteArray chunk(data, static_cast<qsizetype>(size));
    for (const QByteArray& line : chunk.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            continue;
        }
        if (type == CURLINFO_HEADER_OUT) {
            conversation->onCommand(trimmed);
        } else {
            conversation->onReply(trimmed);
        }
    }
    return 0;
}

size_t onRead(char* buffer, size_t size, size_t count, void* user) {
    auto* conversation = static_cast<Conversation*>(user);
    if (!conversation->gateChecked) {
        conversation->gateChecked = true;
        if (!conversation->mayTransmit()) {
            return CURL_READFUNC_ABORT;
        }
    }
    const qsizetype left = conversation->message->size() - conversation->offset;
    const qsizetype n = std::min<qsizetype>(left, static_cast<qsizetype>(size * count));
    std::memcpy(buffer, conversation->message->constData() + conversation->offset,
                static_cast<size_t>(n));
    conversation->offset += n;
    return static_cast<size_t>(n);
}

QByteArray caBundleWith(const QByteArray& extraPem) {
    QByteArray bundle;
    QFile system(QString::fromLatin1(kSystemCaBundle));
    if (system.open(QIODevice::ReadOnly)) {
        bundle = system.readAll();
        bundle += '\n';
    }
    return bundle + extraPem;
}

Failure smtpFailure(FailureKind kind, const QString& server, const QString& detail) {
    QString text;
    switch (kind) {
        case FailureKind::Unreachable:
            text = QStringLiteral("送信サーバー %1 に接続できません").arg(server);
            break;
        case FailureKind::Timeout:
            text = QStringLiteral("送信サーバー %1 から応答がありません").arg(server);
            break;
        case FailureKind::Tls:
            text = QStringLiteral(
                       "送信サーバー %1 と安全に接続できません。暗号化か証明書の確認に"
                       "失敗しました")
                       .arg(server);
            break;
        case FailureKind::Login:
            text = QStringLiteral(
                       "送信サーバー %1 にログインできません。ユーザー名かパスワードを"
                       "確かめてください")
                       .arg(server);
            break;
        case FailureKind::Refused:
            text = QStringLiteral("送信サーバー %1 がメールを受け付けませんでした").arg(server);
            break;
        case FailureKind::ConnectionLost:
            text = QStringLiteral("送信サーバー %1 との接続が途中で切れました").arg(server);
            break;
        case FailureKind::Protocol:
            text = QStringLiteral("送信サーバー %1 の応答が正しくありません").arg(server);
            break;
        default:
            text = QStringLiteral("メールを送信できません");
            break;
    }
    if (!detail.isEmpty()) {
        text += QStringLiteral("（%1）").arg(detail);
    }
    return {kind, text};
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// One SMTP session through libcurl. `useSsl` is libcurl's STARTTLS policy.
CURLcode attemptSend(const SmtpEnvelope& envelope, const TransportOptions& options,
                     const ServerAddress& address, long useSsl, Conversation& conversation,
                     char* errorBuffer) {
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        return CURLE_FAILED_INIT;
    }
    CURL* handle = curl.get();

    conversation.implicitTls = address.implicitTls;
    conversation.wantsLogin = !envelope.login.user.isEmpty();
    conversation.message = &envelope.message;

    const QString host = address.host.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + address.host + QLatin1Char(']')
                             : address.host;
    const QByteArray url = (address.implicitTls ? QByteArray("smtps://") : QByteArray("smtp://")) +
                           host.toUtf8() + ':' + QByteArray::number(address.port);
    const QByteArray from = '<' + bareAddress(envelope.from).toUtf8() + '>';
    std::unique_ptr<curl_slist, SlistDeleter> recipients;
    for (const QString& to : envelope.to) {
        const QByteArray rcpt = '<' + bareAddress(to).toUtf8() + '>';
        recipients.reset(curl_slist_append(recipients.release(), rcpt.constData()));
    }
    const QByteArray user = envelope.login.user.toUtf8();
    const QByteArray password = envelope.login.password.toUtf8();
    const QByteArray extraPem = options.extraCaPem();
    QByteArray caBundle;

    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(options.connectTimeout.count()));
    const long idleSeconds =
        std::max<long>(1, static_cast<long>(options.idleTimeout.count() / 1000));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, idleSeconds);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, idleSeconds);
    if (!address.implicitTls) {
        curl_easy_setopt(handle, CURLOPT_USE_SSL, useSsl);
    }
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!extraPem.isEmpty()) {
        caBundle = caBundleWith(extraPem);
        curl_blob blob{caBundle.data(), static_cast<size_t>(caBundle.size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob);
    }
    if (conversation.wantsLogin) {
        curl_easy_setopt(handle, CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(handle, CURLOPT_PASSWORD, password.constData());
    }
    curl_easy_setopt(handle, CURLOPT_MAIL_FROM, from.constData());
    curl_easy_setopt(handle, CURLOPT_MAIL_RCPT, recipients.get());
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE,
                     static_cast<curl_off_t>(envelope.message.size()));
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, onRead);
    curl_easy_setopt(handle, CURLOPT_READDATA, &conversation);
    curl_easy_setopt(handle, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(handle, CURLOPT_DEBUGFUNCTION, onTrace);
    curl_easy_setopt(handle, CURLOPT_DEBUGDATA, &conversation);

    return curl_easy_perform(handle);
}

}  // namespace

QString bareAddress(const QString& text) {
    const qsizetype open = text.lastIndexOf(QLatin1Char('<'));
    const qsizetype close = text.lastIndexOf(QLatin1Char('>'));
    if (open >= 0 && close > open) {
        return text.mid(open + 1, close - open - 1).trimmed();
    }
    return text.trimmed();
}

QStringList recipientAddresses(const QString& field) {
    QStringList addresses;
    QString current;
    bool quoted = false;
    int angle = 0;
    auto take = [&] {
        const QString address = bareAddress(current);
        if (!address.isEmpty()) {
            addresses << address;
        }
        current.clear();
    };
    for (QChar c : field) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char('<')) {
            ++angle;
        } else if (!quoted && c == QLatin1Char('>') && angle > 0) {
            --angle;
        } else if (!quoted && angle == 0 && (c == QLatin1Char(',') || c == QLatin1Char(';'))) {
            take();
            continue;
        }
        current += c;
    }
    take();
    return addresses;
}

Status sendSmtp(const SmtpEnvelope& envelope, const TransportOptions& options) {
    const std::optional<ServerAddress> address =
        parseServerAddress(envelope.server, MailProtocol::Smtp);
    if (!address) {
        return Failure{
            FailureKind::Unreachable,
            QStringLiteral("送信サーバーの指定「%1」が正しくありません").arg(envelope.server)};
    }
    const QString server = address->display();
    if (envelope.to.isEmpty()) {
        return smtpFailure(FailureKind::Disk, server, QStringLiteral("宛先がありません"));
    }
    for (const QString& text : envelope.to + QStringList{envelope.from}) {
        if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'))) {
            return smtpFailure(FailureKind::Disk, server,
                               QStringLiteral("アドレスに使えない文字が含まれています"));
        }
    }

    initCurlOnce();
    // STARTTLS is required wherever a server can do it: with libcurl's "try"
    // policy a server that offers it and then declines would be given the
    // login in plain text. Only a server that never offered STARTTLS is
    // spoken to in plain text, on a second connection.
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Conversation conversation;
    long useSsl = CURLUSESSL_ALL;
    CURLcode code = CURLE_OK;
    for (;;) {
        conversation = Conversation{};
        errorBuffer[0] = 0;
        code = attemptSend(envelope, options, *address, useSsl, conversation, errorBuffer);
        const bool noStartTls = code == CURLE_USE_SSL_FAILED && !address->implicitTls &&
                                !conversation.startTlsOffered && !conversation.authSent;
        if (!noStartTls || useSsl == CURLUSESSL_NONE) {
            break;
        }
        useSsl = CURLUSESSL_NONE;
    }
    if (code == CURLE_FAILED_INIT) {
        return smtpFailure(FailureKind::Disk, server,
                           QStringLiteral("libcurl を初期化できません"));
    }
    if (code == CURLE_OK) {
        return std::nullopt;
    }

    const QString curlText =
        QString::fromUtf8(errorBuffer[0] != 0 ? errorBuffer : curl_easy_strerror(code));
    const QString reply = QString::fromUtf8(conversation.lastErrorReply);
    if (code == CURLE_USE_SSL_FAILED && conversation.startTlsOffered) {
        return smtpFailure(
            FailureKind::Tls, server,
            QStringLiteral("送信サーバーが暗号化を受け付けなかったため、送信しませんでした"));
    }
    switch (code) {
        case CURLE_ABORTED_BY_CALLBACK:
            return Failure{FailureKind::Refused, conversation.refusal};
        case CURLE_COULDNT_RESOLVE_HOST:
            return smtpFailure(FailureKind::Unreachable, server,
                               QStringLiteral("サーバー名が見つかりません"));
        case CURLE_COULDNT_CONNECT:
            return smtpFailure(FailureKind::Unreachable, server,
                               QStringLiteral("接続を拒否されました"));
        case CURLE_OPERATION_TIMEDOUT:
            return smtpFailure(FailureKind::Timeout, server, QStringLiteral("時間切れ"));
        case CURLE_PEER_FAILED_VERIFICATION:
            return smtpFailure(FailureKind::Tls, server,
                               QStringLiteral("証明書を確認できません: ") + curlText);
        case CURLE_LOGIN_DENIED:
            return smtpFailure(FailureKind::Login, server, reply.isEmpty() ? curlText : reply);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return smtpFailure(FailureKind::Tls, server, curlText);
        default:
            break;
    }
    if (!reply.isEmpty()) {
        return smtpFailure(FailureKind::Refused, server, reply);
    }
    if (code == CURLE_SEND_ERROR || code == CURLE_RECV_ERROR || code == CURLE_GOT_NOTHING) {
        return smtpFailure(FailureKind::ConnectionLost, server, curlText);
    }
    return smtpFailure(FailureKind::Protocol, server, curlText);
}

}  // namespace orvane::mail
