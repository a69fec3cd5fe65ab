#pragma once

#include "expected.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace orvane::news {

using orvane::Expected;
using orvane::Failure;
using orvane::FailureKind;

// Limits of one news read.
struct NewsOptions {
    // The whole read, redirects and a followed feed link included.
    std::chrono::milliseconds timeLimit{3000};
    // Bytes of one page taken from the server (after decompression); the rest
    // is never read.
    qsizetype maxBytes = 2 * 1024 * 1024;
    int maxHeadlines = 5;
    int maxRedirects = 5;
    // PEM files whose certificates are trusted beside the system's.
    QStringList extraCaFiles;

    // Defaults, plus the PEM file named by ORVANE_EXTRA_CA when it is set.
    static NewsOptions fromEnvironment();
};

// Reads the latest headlines of a news site.
class NewsComponent {
  public:
    virtual ~NewsComponent() = default;

    // Fetches `site` (an http:// or https:// address, or a bare host name,
    // taken as https://) and returns its latest headlines as one Japanese text
    // to speak as it stands: never empty, no markup. An RSS or Atom feed, or
    // an HTML page (or the feed it names), is understood. Returns within the
    // options' time limit. Safe to call from any one thread at a time.
    virtual Expected<QString> latestNews(const QString& site) = 0;
};

// The component that reads over the network.
std::unique_ptr<NewsComponent> createNewsComponent(
    NewsOptions options = NewsOptions::fromEnvironment());

}  // namespace orvane::news
