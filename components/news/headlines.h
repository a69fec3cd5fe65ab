#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace orvane::news {

// Headlines are plain text: markup removed, entities decoded, blanks
// collapsed, each at most this many characters.
inline constexpr int kMaxHeadlineLength = 100;

// The headlines of an RSS (0.9x, 1.0, 2.0) or Atom feed, latest first (by
// their dates when every item has one, else in the feed's order), each once,
// at most `maxHeadlines`. Nothing when `text` is not a feed; an empty list
// for a feed without titled items.
std::optional<QStringList> feedHeadlines(const QString& text, int maxHeadlines);

// What an HTML page offers.
struct HtmlHeadlines {
    // The page's headings in page order, each once, at most the number asked
    // for: the first heading of each article and the headings outside
    // articles, leaving out navigation, page header and footer, side bars,
    // forms, and a top-level heading that only repeats the page's title.
    QStringList headlines;
    // The RSS or Atom feed the page names as its alternate (<link
    // rel="alternate">), resolved against the page's address; empty if none.
    QUrl feed;
};

HtmlHeadlines htmlHeadlines(const QString& text, const QUrl& pageUrl, int maxHeadlines);

// Sets the parser up for the process; the readers above do it when needed,
// but a program that reads on several threads calls it first on its main one.
void initializeReading();

// Text of a fragment that may hold markup and entities ("A &amp; B",
// "<b>A</b>"), blanks collapsed.
QString plainText(const QString& fragment);

}  // namespace orvane::news
