#include "smtp_sender.h"

#include "mail_address.h"
#include "server_address.h"
#include "transport_failure.h"

#include <QElapsedTimer>

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
    return serverFailure(ServerRole::Sending, kind, server, detail);
}

// What went wrong, in Japanese, for the libcurl results that end a session
// without a reply from the server to quote.
QString curlDetail(CURLcode code) {
    switch (code) {
        case CURLE_PEER_FAILED_VERIFICATION:
            return QStringLiteral("証明書を確認できません。発行元、名前か期限が合いません");
        case CURLE_SSL_CONNECT_ERROR:
            return QStringLiteral("暗号化の開始に失敗しました");
        case CURLE_SSL_CACERT_BADFILE:
            return QStringLiteral("信頼する証明書の一覧を読めません");
        case CURLE_USE_SSL_FAILED:
            return QStringLiteral("暗号化を始められませんでした");
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return QStringLiteral("証明書に問題があります");
        case CURLE_SSL_CIPHER:
            return QStringLiteral("使える暗号方式がありません");
        case CURLE_LOGIN_DENIED:
            return QStringLiteral("ログインを断られました");
        case CURLE_SEND_ERROR:
            return QStringLiteral("データを送れませんでした");
        case CURLE_RECV_ERROR:
            return QStringLiteral("データを受け取れませんでした");
        case CURLE_GOT_NOTHING:
            return QStringLiteral("サーバーが何も返さずに接続を閉じました");
        case CURLE_WEIRD_SERVER_REPLY:
            return QStringLiteral("サーバーの応答を理解できません");
        case CURLE_OUT_OF_MEMORY:
            return QStringLiteral("メモリーが足りません");
        default:
            return QStringLiteral("libcurl のエラー %1").arg(static_cast<int>(code));
    }
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// One SMTP session through libcurl. `useSsl` is libcurl's STARTTLS policy;
// the session ends with CURLE_OPERATION_TIMEDOUT after `timeLimit`.
CURLcode attemptSend(const SmtpEnvelope& envelope, const TransportOptions& options,
                     const ServerAddress& address, long useSsl, std::chrono::milliseconds timeLimit,
                     Conversation& conversation) {
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
    // The addresses were checked: nothing in them can end the bracket.
    const QByteArray from = '<' + envelope.from.toUtf8() + '>';
    std::unique_ptr<curl_slist, SlistDeleter> recipients;
    for (const QString& to : envelope.to) {
        const QByteArray rcpt = '<' + to.toUtf8() + '>';
        recipients.reset(curl_slist_append(recipients.release(), rcpt.constData()));
    }
    const QByteArray user = envelope.login.user.toUtf8();
    const QByteArray password = envelope.login.password.toUtf8();
    const QByteArray extraPem = options.extraCaPem();
    QByteArray caBundle;

    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                     static_cast<long>(std::min(options.connectTimeout, timeLimit).count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     std::max(1L, static_cast<long>(timeLimit.count())));
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

Expected<void> sendSmtp(const SmtpEnvelope& envelope, const TransportOptions& options) {
    const Expected<ServerAddress> address = parseServerAddress(envelope.server, MailProtocol::Smtp);
    if (!address) {
        return address.failure();
    }
    const QString server = address->display();
    if (Expected<void> checked = checkEnvelopeAddress(envelope.from, QStringLiteral("差出人"));
        !checked) {
        return checked;
    }
    if (envelope.to.isEmpty()) {
        return Failure{FailureKind::BadInput, QStringLiteral("宛先がありません")};
    }
    for (const QString& to : envelope.to) {
        if (Expected<void> checked = checkEnvelopeAddress(to, QStringLiteral("宛先")); !checked) {
            return checked;
        }
    }

    initCurlOnce();
    // STARTTLS is required wherever a server can do it: with libcurl's "try"
    // policy a server that offers it and then declines would be given the
    // login in plain text. Only where the account allows plain text, a server
    // that never offered STARTTLS is spoken to without it, on a second
    // connection.
    const std::chrono::milliseconds timeLimit = options.timeAllowedFor(envelope.message.size());
    QElapsedTimer elapsed;
    elapsed.start();
    Conversation conversation;
    long useSsl = CURLUSESSL_ALL;
    CURLcode code = CURLE_OK;
    for (;;) {
        conversation = Conversation{};
        const auto left = timeLimit - std::chrono::milliseconds(elapsed.elapsed());
        if (left.count() <= 0) {
            code = CURLE_OPERATION_TIMEDOUT;
            break;
        }
        code = attemptSend(envelope, options, *address, useSsl, left, conversation);
        const bool noStartTls = code == CURLE_USE_SSL_FAILED && !address->implicitTls &&
                                !conversation.startTlsOffered && !conversation.authSent;
        if (!noStartTls || useSsl == CURLUSESSL_NONE) {
            break;
        }
        if (!address->plainAllowed) {
            return plainConnectionRefused(ServerRole::Sending, server);
        }
        useSsl = CURLUSESSL_NONE;
    }
    if (code == CURLE_FAILED_INIT) {
        return smtpFailure(FailureKind::Internal, server,
                           QStringLiteral("libcurl を初期化できません"));
    }
    if (code == CURLE_OK) {
        return success();
    }

    const QString curlText = curlDetail(code);
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
            return smtpFailure(FailureKind::Timeout, server,
                               elapsed.elapsed() >= timeLimit.count()
                                   ? deadlineDetail((timeLimit.count() + 999) / 1000)
                                   : silenceDetail());
        case CURLE_PEER_FAILED_VERIFICATION:
            return smtpFailure(FailureKind::Tls, server, curlText);
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
