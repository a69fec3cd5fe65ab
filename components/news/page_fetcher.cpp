#include "page_fetcher.h"

#include <QFile>

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace orvane::news {
namespace {

constexpr const char* kSystemCaBundle = "/etc/ssl/certs/ca-certificates.crt";
constexpr const char* kUserAgent = "Mozilla/5.0 (compatible; Orvane Mailer 2.0)";

// The proxies the user set in the environment serve every site but this
// machine's own.
QByteArray noProxyList() {
    QByteArray list = qgetenv("no_proxy");
    if (list.isEmpty()) {
        list = qgetenv("NO_PROXY");
    }
    if (!list.isEmpty()) {
        list += ',';
    }
    return list + "localhost,127.0.0.1,::1";
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};

struct Receiving {
    FetchedPage page;
    qsizetype maxBytes = 0;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* receiving = static_cast<Receiving*>(user);
    const qsizetype length = static_cast<qsizetype>(size * count);
    const qsizetype room = receiving->maxBytes - receiving->page.body.size();
    if (length > room) {
        // Returning less than was given ends the transfer: the rest of a
        // long page is never read.
        receiving->page.body.append(data, room);
        receiving->page.cutOff = true;
        return 0;
    }
    receiving->page.body.append(data, length);
    return static_cast<size_t>(length);
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* receiving = static_cast<Receiving*>(user);
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
    if (line.startsWith("HTTP/")) {
        receiving->page.contentType.clear();  // a new answer after a redirect
    } else if (line.toLower().startsWith("content-type:")) {
        receiving->page.contentType = line.mid(13).trimmed();
    }
    return size * count;
}

Failure fetchFailure(FailureKind kind, const QString& site, const QString& what) {
    return Failure{kind, QStringLiteral("ニュースサイト %1 %2").arg(site, what)};
}

Failure failureOf(CURLcode code, const QString& site, const char* errorBuffer) {
    const QString detail =
        QString::fromUtf8(errorBuffer[0] != 0 ? errorBuffer : curl_easy_strerror(code));
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return fetchFailure(FailureKind::Unreachable, site, QStringLiteral("が見つかりません"));
        case CURLE_COULDNT_CONNECT:
            return fetchFailure(FailureKind::Unreachable, site, QStringLiteral("に接続できません"));
        case CURLE_OPERATION_TIMEDOUT:
            return fetchFailure(FailureKind::Timeout, site,
                                QStringLiteral("から時間内に応答がありません"));
        case CURLE_TOO_MANY_REDIRECTS:
            return fetchFailure(FailureKind::Protocol, site, QStringLiteral("の転送が多すぎます"));
        case CURLE_UNSUPPORTED_PROTOCOL:
            return fetchFailure(FailureKind::Refused, site,
                                QStringLiteral("が http でも https でもない所へ転送しました"));
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return fetchFailure(FailureKind::Tls, site,
                                QStringLiteral("と安全に接続できません（%1）").arg(detail));
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return fetchFailure(FailureKind::ConnectionLost, site,
                                QStringLiteral("との接続が途中で切れました"));
        default:
            return fetchFailure(FailureKind::Protocol, site,
                                QStringLiteral("からページを読めません（%1）").arg(detail));
    }
}

}  // namespace

void initializeFetching() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray systemCaBundleWith(const QByteArray& extraPem) {
    QByteArray bundle;
    QFile system(QString::fromLatin1(kSystemCaBundle));
    if (system.open(QIODevice::ReadOnly)) {
        bundle = system.readAll() + '\n';
    }
    return bundle + extraPem;
}

Expected<FetchedPage> fetchPage(const QUrl& url, const FetchLimits& limits) {
    const QString site = url.host().isEmpty() ? url.toString() : url.host();
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty()) {
        return Failure{
            FailureKind::BadInput,
            QStringLiteral("ニュースサイトの指定「%1」が正しくありません").arg(url.toString())};
    }
    const qint64 remainingMs = limits.deadline.remainingTime();
    if (remainingMs == 0) {
        return fetchFailure(FailureKind::Timeout, site,
                            QStringLiteral("から時間内に応答がありません"));
    }

    initializeFetching();
    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        return Failure{FailureKind::Internal, QStringLiteral("libcurl を初期化できません")};
    }
    CURL* handle = curl.get();
    Receiving receiving;
    receiving.maxBytes = limits.maxBytes;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    const QByteArray address = url.toEncoded();
    const QByteArray noProxy = noProxyList();
    QByteArray caBundle = limits.caBundle;

    curl_easy_setopt(handle, CURLOPT_URL, address.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROXY, noProxy.constData());
    // A deadline of Forever sets no limit (libcurl's 0).
    const long timeoutMs = remainingMs < 0 ? 0L : static_cast<long>(remainingMs);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, timeoutMs);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");  // whatever libcurl can decode
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caBundle.isEmpty()) {
        curl_blob blob{caBundle.data(), static_cast<size_t>(caBundle.size()), CURL_BLOB_NOCOPY};
        curl_easy_setopt(handle, CURLOPT_CAINFO_BLOB, &blob);
    }
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &receiving);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &receiving);

    const CURLcode code = curl_easy_perform(handle);
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && receiving.page.cutOff)) {
        return failureOf(code, site, errorBuffer);
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 300) {
        return fetchFailure(FailureKind::Refused, site,
                            QStringLiteral("がページを返しませんでした（HTTP %1）").arg(status));
    }
    char* effective = nullptr;
    curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective);
    receiving.page.url = effective != nullptr ? QUrl::fromEncoded(effective) : url;
    return std::move(receiving.page);
}

}  // namespace orvane::news
