#pragma once

#include "expected.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QUrl>

namespace orvane::news {

struct FetchedPage {
    QByteArray body;
    // The Content-Type of the final answer, as sent.
    QByteArray contentType;
    // Where the page was found, after redirects.
    QUrl url;
    // The page was longer than allowed: `body` holds its beginning and the
    // rest was never read.
    bool cutOff = false;
};

struct FetchLimits {
    QDeadlineTimer deadline;
    qsizetype maxBytes = 0;
    int maxRedirects = 0;
    // Certificates to trust (PEM) instead of the system's store; empty: the
    // system's store.
    QByteArray caBundle;
};

// GETs an http:// or https:// page with libcurl, following redirects within
// the limits. TLS certificates and host names are always verified. Fails on
// a transport error, a deadline passed, too many redirects and an HTTP error
// status; a page longer than maxBytes is not a failure (see cutOff).
Expected<FetchedPage> fetchPage(const QUrl& url, const FetchLimits& limits);

// Sets libcurl up for the process; fetchPage does it when needed, but a
// program calls it first on its main thread.
void initializeFetching();

// The system's certificate store followed by `extraPem`.
QByteArray systemCaBundleWith(const QByteArray& extraPem);

}  // namespace orvane::news
