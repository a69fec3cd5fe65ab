#include "news_component.h"

#include "headlines.h"
#include "page_charset.h"
#include "page_fetcher.h"

#include <QFile>

namespace orvane::news {
namespace {

// A followed feed link is not worth starting with less time than this left.
constexpr qint64 kMinimumFeedTimeMs = 200;

bool endsSentence(const QString& text) {
    static const QString enders = QStringLiteral("。．.！!？?」』");
    return !text.isEmpty() && enders.contains(text.back());
}

// One text to speak: an opening, then each headline as a sentence.
QString spokenNews(const QStringList& headlines) {
    QString text = QStringLiteral("最新のニュースです。");
    for (const QString& headline : headlines) {
        text += headline;
        if (!endsSentence(headline)) {
            text += QStringLiteral("。");
        }
    }
    return text;
}

Expected<QUrl> siteUrl(const QString& site) {
    QString address = site.trimmed();
    if (!address.contains(QLatin1String("://"))) {
        address.prepend(QLatin1String("https://"));
    }
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))) {
        return Failure{FailureKind::BadInput,
                       QStringLiteral("ニュースサイトの指定「%1」が正しくありません").arg(site)};
    }
    return url;
}

class CurlNewsComponent : public NewsComponent {
  public:
    explicit CurlNewsComponent(NewsOptions options) : options_(std::move(options)) {
        // Reads may run on another thread; the libraries are set up here, on
        // the creating one.
        initializeFetching();
        initializeReading();
        QByteArray extraPem;
        for (const QString& file : options_.extraCaFiles) {
            QFile pem(file);
            if (pem.open(QIODevice::ReadOnly)) {
                extraPem += pem.readAll() + '\n';
            }
        }
        if (!extraPem.isEmpty()) {
            caBundle_ = systemCaBundleWith(extraPem);
        }
    }

    Expected<QString> latestNews(const QString& site) override {
        const Expected<QUrl> url = siteUrl(site);
        if (!url) {
            return url.failure();
        }
        FetchLimits limits{QDeadlineTimer(options_.timeLimit), options_.maxBytes,
                           options_.maxRedirects, caBundle_};
        Expected<FetchedPage> page = fetchPage(*url, limits);
        if (!page) {
            return page.failure();
        }
        const QString text = decodePage(page->body, declaredCharset(page->contentType, page->body));
        if (auto fromFeed = feedHeadlines(text, options_.maxHeadlines)) {
            return spoken(*fromFeed, page->url);
        }
        const HtmlHeadlines html = htmlHeadlines(text, page->url, options_.maxHeadlines);
        // A page that names its feed says there which of its links are news.
        if (!html.feed.isEmpty() && limits.deadline.remainingTime() > kMinimumFeedTimeMs) {
            if (auto fromFeed = linkedFeedHeadlines(html.feed, limits);
                fromFeed && !fromFeed->isEmpty()) {
                return spokenNews(*fromFeed);
            }
        }
        return spoken(html.headlines, page->url);
    }

  private:
    std::optional<QStringList> linkedFeedHeadlines(const QUrl& feed, const FetchLimits& limits) {
        const Expected<FetchedPage> page = fetchPage(feed, limits);
        if (!page) {
            return std::nullopt;
        }
        return feedHeadlines(decodePage(page->body, declaredCharset(page->contentType, page->body)),
                             options_.maxHeadlines);
    }

    static Expected<QString> spoken(const QStringList& headlines, const QUrl& page) {
        if (headlines.isEmpty()) {
            return Failure{FailureKind::BadInput,
                           QStringLiteral("ニュースのページ %1 に見出しが見つかりません")
                               .arg(page.toDisplayString())};
        }
        return spokenNews(headlines);
    }

    NewsOptions options_;
    QByteArray caBundle_;
};

}  // namespace

NewsOptions NewsOptions::fromEnvironment() {
    NewsOptions options;
    const QString extra = qEnvironmentVariable("ORVANE_EXTRA_CA");
    if (!extra.isEmpty()) {
        options.extraCaFiles << extra;
    }
    return options;
}

std::unique_ptr<NewsComponent> createNewsComponent(NewsOptions options) {
    return std::make_unique<CurlNewsComponent>(std::move(options));
}

}  // namespace orvane::news
