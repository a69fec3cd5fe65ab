#include "headlines.h"

#include <QDateTime>
#include <QSet>

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace orvane::news {
namespace {

using DocPtr = std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)>;

QByteArray nameOf(const xmlNode* node) {
    return QByteArray(reinterpret_cast<const char*>(node->name));
}

QString attribute(xmlNode* node, const char* name) {
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (value == nullptr) {
        return {};
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return text;
}

bool separatesText(const QByteArray& name) {
    static const QSet<QByteArray> blocks{"br", "p",   "div",     "li",      "dt",        "dd",
                                         "td", "th",  "tr",      "ul",      "ol",        "table",
                                         "hr", "pre", "h1",      "h2",      "h3",        "h4",
                                         "h5", "h6",  "section", "article", "blockquote"};
    return blocks.contains(name);
}

// The text of a node's subtree: blocks and line breaks become blanks, inline
// elements join their text without one (Japanese has no blanks between
// words), ruby readings are left out. Entity references are not followed: a
// feed cannot make a short title expand into a long text.
void collectText(const xmlNode* node, QString& out, const QSet<QByteArray>& skipped = {}) {
    for (; node != nullptr; node = node->next) {
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            out += QString::fromUtf8(reinterpret_cast<const char*>(node->content));
            continue;
        }
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        const QByteArray name = nameOf(node);
        if (skipped.contains(name) || name == "rt" || name == "rp") {
            continue;
        }
        const bool separate = separatesText(name);
        if (separate) {
            out += QLatin1Char(' ');
        }
        collectText(node->children, out, skipped);
        if (separate) {
            out += QLatin1Char(' ');
        }
    }
}

QString textOf(const xmlNode* node) {
    QString text;
    collectText(node->children, text);
    return text.simplified();
}

int parseOptionsFor(bool html) {
    int options = XML_PARSE_RECOVER | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NONET;
    if (html) {
        options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET;
#ifdef HTML_PARSE_IGNORE_ENC
        options |= HTML_PARSE_IGNORE_ENC;  // the text is already UTF-8
#endif
    } else {
        options |= XML_PARSE_IGNORE_ENC | XML_PARSE_NOCDATA;
    }
    return options;
}

DocPtr parseHtml(const QByteArray& utf8) {
    return DocPtr(htmlReadMemory(utf8.constData(), static_cast<int>(utf8.size()), nullptr, "UTF-8",
                                 parseOptionsFor(true)),
                  xmlFreeDoc);
}

// Gathers headlines: cleaned, cut to length, each once, up to a number.
class HeadlineList {
  public:
    explicit HeadlineList(int max) : max_(max) {}

    bool full() const { return static_cast<int>(list_.size()) >= max_; }

    void add(QString text) {
        text = text.simplified();
        if (text.isEmpty() || full() || seen_.contains(text)) {
            return;
        }
        seen_.insert(text);
        if (text.size() > kMaxHeadlineLength) {
            qsizetype cut = kMaxHeadlineLength;
            if (text.at(cut - 1).isHighSurrogate()) {
                --cut;
            }
            text.truncate(cut);
        }
        list_ << text;
    }

    QStringList list() const { return list_; }

  private:
    int max_;
    QStringList list_;
    QSet<QString> seen_;
};

// --- feeds -----------------------------------------------------------------

enum class FeedKind { Rss, Atom };

QDateTime parseFeedDate(QString text) {
    text = text.simplified();
    QDateTime date = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (date.isValid()) {
        return date;
    }
    // RFC 822 dates name a few zones by letters; Qt reads only numeric offsets.
    static const std::pair<const char*, const char*> zones[] = {
        {" GMT", " +0000"}, {" UTC", " +0000"}, {" UT", " +0000"},
        {" Z", " +0000"},   {" JST", " +0900"}, {" EST", " -0500"},
        {" EDT", " -0400"}, {" PST", " -0800"}, {" PDT", " -0700"}};
    for (const auto& [name, offset] : zones) {
        if (text.endsWith(QLatin1String(name))) {
            text = text.chopped(static_cast<qsizetype>(qstrlen(name))) + QLatin1String(offset);
            break;
        }
    }
    return QDateTime::fromString(text, Qt::RFC2822Date);
}

struct FeedItem {
    QString title;
    QDateTime date;
};

FeedItem readItem(xmlNode* item, FeedKind kind) {
    static const QSet<QByteArray> dateNames{"pubDate",   "date",     "updated",
                                            "published", "modified", "issued"};
    FeedItem read;
    for (xmlNode* child = item->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        const QByteArray name = nameOf(child);
        if (name == "title" && read.title.isEmpty()) {
            read.title = textOf(child);
            // Atom says how a title is written; RSS titles carry escaped HTML
            // often enough that they are always read as such.
            const QString type = attribute(child, "type");
            if (kind == FeedKind::Rss || type == QLatin1String("html")) {
                read.title = plainText(read.title);
            }
        } else if (dateNames.contains(name) && !read.date.isValid()) {
            read.date = parseFeedDate(textOf(child));
        }
    }
    return read;
}

// Items of a feed: <item> and <entry> elements among the root's children and
// grandchildren (RSS 2.0 keeps them in <channel>, RSS 1.0 beside it).
void collectItems(xmlNode* parent, FeedKind kind, int depth, std::vector<FeedItem>& items) {
    for (xmlNode* node = parent->children; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        const QByteArray name = nameOf(node);
        if (name == "item" || name == "entry") {
            items.push_back(readItem(node, kind));
        } else if (depth > 0) {
            collectItems(node, kind, depth - 1, items);
        }
    }
}

bool looksLikeXml(const QString& text) {
    const QString start = text.left(512).trimmed();
    return start.startsWith(QLatin1String("<?xml")) || start.startsWith(QLatin1String("<rss")) ||
           start.startsWith(QLatin1String("<feed")) || start.startsWith(QLatin1String("<rdf:RDF"));
}

// --- HTML pages ------------------------------------------------------------

bool isHeading(const QByteArray& name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

class HtmlReader {
  public:
    HtmlReader(const QUrl& pageUrl, int maxHeadlines) : pageUrl_(pageUrl), list_(maxHeadlines) {}

    void read(xmlNode* node) {
        walk(node, nullptr);
        const QString title = title_.simplified();
        for (const Heading& heading : headings_) {
            const bool repeatsTitle = heading.topLevel && !title.isEmpty() &&
                                      title.contains(heading.text, Qt::CaseInsensitive);
            if (!repeatsTitle) {
                list_.add(heading.text);
            }
        }
    }

    HtmlHeadlines result() const { return {list_.list(), feed_}; }

  private:
    struct Heading {
        QString text;
        bool topLevel = false;  // an <h1> outside any article
    };

    // `articleTaken`: inside an article, whether its heading has been taken.
    void walk(xmlNode* node, bool* articleTaken) {
        static const QSet<QByteArray> skipped{"nav",    "footer", "aside",    "form",
                                              "script", "style",  "noscript", "template",
                                              "svg",    "button", "select",   "iframe"};
        for (; node != nullptr; node = node->next) {
            if (node->type != XML_ELEMENT_NODE) {
                continue;
            }
            const QByteArray name = nameOf(node);
            if (skipped.contains(name) || (name == "header" && articleTaken == nullptr)) {
                continue;
            }
            if (name == "title") {
                if (title_.isEmpty()) {
                    title_ = textOf(node);
                }
            } else if (name == "link") {
                noteFeedLink(node);
            } else if (isHeading(name)) {
                if (articleTaken == nullptr) {
                    headings_.push_back({textOf(node), name == "h1"});
                } else if (!*articleTaken) {
                    *articleTaken = true;
                    headings_.push_back({textOf(node), false});
                }
            } else if (name == "article") {
                bool taken = false;
                walk(node->children, &taken);
            } else {
                walk(node->children, articleTaken);
            }
        }
    }

    void noteFeedLink(xmlNode* link) {
        if (!feed_.isEmpty()) {
            return;
        }
        const QStringList rel =
            attribute(link, "rel").toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString type = attribute(link, "type").trimmed().toLower();
        const QString href = attribute(link, "href").trimmed();
        const bool feedType = type == QLatin1String("application/rss+xml") ||
                              type == QLatin1String("application/atom+xml") ||
                              type == QLatin1String("application/rdf+xml");
        if (!rel.contains(QLatin1String("alternate")) || !feedType || href.isEmpty()) {
            return;
        }
        const QUrl resolved = pageUrl_.resolved(QUrl(href));
        if (resolved.scheme() == QLatin1String("http") ||
            resolved.scheme() == QLatin1String("https")) {
            feed_ = resolved;
        }
    }

    QUrl pageUrl_;
    HeadlineList list_;
    QString title_;
    QUrl feed_;
    std::vector<Heading> headings_;
};

}  // namespace

void initializeReading() {
    xmlInitParser();
}

std::optional<QStringList> feedHeadlines(const QString& text, int maxHeadlines) {
    if (!looksLikeXml(text)) {
        return std::nullopt;
    }
    const QByteArray utf8 = text.toUtf8();
    const DocPtr doc(xmlReadMemory(utf8.constData(), static_cast<int>(utf8.size()), nullptr,
                                   "UTF-8", parseOptionsFor(false)),
                     xmlFreeDoc);
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
        return std::nullopt;
    }
    const QByteArray rootName = nameOf(root);
    FeedKind kind = FeedKind::Rss;
    if (rootName == "feed") {
        kind = FeedKind::Atom;
    } else if (rootName != "rss" && rootName != "RDF") {
        return std::nullopt;
    }

    std::vector<FeedItem> items;
    collectItems(root, kind, 1, items);
    const bool allDated = std::all_of(items.begin(), items.end(),
                                      [](const FeedItem& item) { return item.date.isValid(); });
    if (allDated) {
        std::stable_sort(items.begin(), items.end(),
                         [](const FeedItem& a, const FeedItem& b) { return a.date > b.date; });
    }
    HeadlineList list(maxHeadlines);
    for (const FeedItem& item : items) {
        list.add(item.title);
    }
    return list.list();
}

HtmlHeadlines htmlHeadlines(const QString& text, const QUrl& pageUrl, int maxHeadlines) {
    const DocPtr doc = parseHtml(text.toUtf8());
    if (!doc) {
        return {};
    }
    HtmlReader reader(pageUrl, maxHeadlines);
    reader.read(doc->children);
    return reader.result();
}

QString plainText(const QString& fragment) {
    if (!fragment.contains(QLatin1Char('<')) && !fragment.contains(QLatin1Char('&'))) {
        return fragment.simplified();
    }
    // Inside a block, so that text beside inline markup is not put into a
    // paragraph of its own.
    const DocPtr doc = parseHtml("<div>" + fragment.toUtf8() + "</div>");
    if (!doc) {
        return fragment.simplified();
    }
    QString text;
    collectText(doc->children, text, {"script", "style"});
    return text.simplified();
}

}  // namespace orvane::news
