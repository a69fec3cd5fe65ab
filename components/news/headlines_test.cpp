#include "headlines.h"
#include "news_test_support.h"
#include "page_charset.h"

#include <gtest/gtest.h>

#include <optional>

using namespace orvane::news;
using orvane::news::testing::encoded;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

QString rss(const QString& items) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<rss version=\"2.0\"><channel><title>例の新聞</title>%1</channel></rss>")
        .arg(items);
}

QString rssItem(const QString& title, const QString& date = {}) {
    return QStringLiteral("<item><title>%1</title>%2<link>http://example.test/</link></item>")
        .arg(title, date.isEmpty() ? QString() : QStringLiteral("<pubDate>%1</pubDate>").arg(date));
}

}  // namespace

TEST(FeedHeadlines, ReadsFeedsOfEveryKind) {
    const struct {
        const char* name;
        QString text;
        std::optional<QStringList> expected;
    } rows[] = {
        {"rss 2.0 dated comes latest first, named and numeric zones alike",
         rss(rssItem("古い", "Mon, 01 Jan 2024 09:00:00 GMT") +
             rssItem("真ん中", "Tue, 02 Jan 2024 09:00:00 +0900") +
             rssItem("最新", "Tue, 02 Jan 2024 01:00:00 +0000")),
         QStringList{"最新", "真ん中", "古い"}},
        {"rss 1.0 items beside the channel",
         "<?xml version=\"1.0\"?><rdf:RDF "
         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
         "xmlns=\"http://purl.org/rss/1.0/\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
         "<channel><title>サイト</title></channel>"
         "<item><title>一つ目</title><dc:date>2024-03-01T10:00:00+09:00</dc:date></item>"
         "<item><title>二つ目</title><dc:date>2024-03-02T10:00:00+09:00</dc:date></item>"
         "</rdf:RDF>",
         QStringList{"二つ目", "一つ目"}},
        {"atom html title loses its markup and entities",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\"><title>サイト</title>"
         "<entry><title type=\"html\">&lt;b&gt;速報&lt;/b&gt;：A &amp;amp; B</title>"
         "<updated>2024-05-01T00:00:00Z</updated></entry></feed>",
         QStringList{"速報：A & B"}},
        {"atom text title keeps a literal less-than",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\">"
         "<entry><title>1 &lt;b 2</title></entry></feed>",
         QStringList{"1 <b 2"}},
        {"at most five, each once, blanks collapsed",
         rss(rssItem("一") + rssItem(" 二\n  二 ") + rssItem("二 二") + rssItem("三") +
             rssItem("四") + rssItem("五") + rssItem("六")),
         QStringList{"一", "二 二", "三", "四", "五"}},
        {"a feed cut off in an item keeps the items before",
         rss(rssItem("最初") + rssItem("二番目")).chopped(16) + "<item><title>途中で切",
         QStringList{"最初", "二番目", "途中で切"}},
        {"entities the feed declares are not expanded",
         "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY big \"大きな文字列\">]>"
         "<rss><channel><item><title>前&big;後</title></item></channel></rss>",
         QStringList{"前後"}},
        {"a long headline is cut without splitting a character",
         rss(rssItem(QString(kMaxHeadlineLength - 1, u'あ') + QStringLiteral("😀末尾"))),
         QStringList{QString(kMaxHeadlineLength - 1, u'あ')}},
        {"a feed without items", rss(""), QStringList{}},
        {"an html page is not a feed", "<html><body><h1>見出し</h1></body></html>", std::nullopt},
        {"xml that is no feed", "<?xml version=\"1.0\"?><note><item>x</item></note>", std::nullopt},
        {"garbage", QString::fromLatin1("\x01\x7f<<<?xml ]]>&&&;\xff", 18), std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(feedHeadlines(row.text, 5), row.expected);
    }
}

TEST(HtmlHeadlines, TakesTheNewsHeadingsOfAPage) {
    struct Row {
        const char* name;
        QString html;
        QStringList expected;
        QUrl feed = {};
    } rows[] = {
        {"headings in page order, a top heading repeating the title left out",
         "<html><head><title>例の新聞 - トップ</title></head><body>"
         "<h1>例の新聞</h1><h2>大雨で川が増水</h2><h3>新しい駅が開業</h3></body></html>",
         {"大雨で川が増水", "新しい駅が開業"}},
        {"navigation, page header, footer, side bar and forms are no news",
         "<body><header><h2>サイト名</h2></header><nav><h2>メニュー</h2></nav>"
         "<main><h2>本当の見出し</h2></main><aside><h3>広告</h3></aside>"
         "<form><h3>検索</h3></form><footer><h4>会社案内</h4></footer></body>",
         {"本当の見出し"}},
        {"an article gives its first heading, also from its own header",
         "<body><article><header><h2>記事一</h2></header><h3>小見出し</h3></article>"
         "<article><h2>記事二</h2><h2>記事二の続き</h2></article></body>",
         {"記事一", "記事二"}},
        {"inline markup joins without blanks, readings and entities handled",
         "<body><h2><a href=\"/a\">大雨</a>で<b>川</b>が&amp;増水&nbsp;中</h2>"
         "<h2><ruby>漢字<rt>かんじ</rt></ruby>の試験</h2><h2>  </h2></body>",
         {"大雨で川が&増水 中", "漢字の試験"}},
        {"a feed link among other rel words",
         "<html><head><link rel=\"Alternate home\" type=\"application/atom+xml\" "
         "href=\"https://feeds.example.test/a\"></head><body><h2>x</h2></body></html>",
         {"x"},
         QUrl("https://feeds.example.test/a")},
        {"a feed elsewhere than http is ignored",
         "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" "
         "href=\"file:///etc/passwd\"></head></html>",
         {}},
        {"a page without html element or doctype whose head comes first",
         "<head><title>t</title><link rel=\"icon\" href=\"/i\"></head>"
         "<body><h2>見出し</h2></body>",
         {"見出し"}},
        {"garbage", QString::fromLatin1("\x01\x02<<\xfe\xff&#;<h2", 13), {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const HtmlHeadlines read = htmlHeadlines(row.html, QUrl("http://example.test/"), 5);
        EXPECT_EQ(read.headlines, row.expected);
        EXPECT_EQ(read.feed, row.feed);
    }
}

TEST(PageCharset, NamedByHeaderThenDeclarationThenMeta) {
    struct Row {
        const char* name;
        QByteArray contentType;
        QByteArray body;
        QByteArray expected;
    } rows[] = {
        {"header wins over meta", "text/html; charset=EUC-JP",
         "<html><head><meta charset=\"Shift_JIS\">", "EUC-JP"},
        {"xml declaration", "application/rss+xml",
         "<?xml version=\"1.0\" encoding='Shift_JIS'?><rss>", "Shift_JIS"},
        {"meta charset", "text/html", "<html><head><META CHARSET=euc-jp>", "euc-jp"},
        {"meta beyond the first kilobytes is not looked for", "",
         QByteArray(5000, ' ') + "<meta charset=\"EUC-JP\">", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(declaredCharset(row.contentType, row.body), row.expected);
    }
}

TEST(PageCharset, DecodesJapanesePagesWithOrWithoutALabel) {
    // ① and ～ are only in the Windows tables that Japanese sites use.
    const QString text = QStringLiteral("①大雨で川が増水～速報");
    struct Row {
        const char* name;
        QByteArray bytes;
        QByteArray label;
        QString expected;
    } rows[] = {
        {"no label, Shift_JIS bytes", encoded(text, "CP932"), "", text},
        {"no label, EUC-JP bytes", encoded(text, "EUC-JP-MS"), "", text},
        {"no label, UTF-8 bytes", text.toUtf8(), "", text},
        {"byte-order mark wins over the label", "\xEF\xBB\xBF" + text.toUtf8(), "Shift_JIS", text},
        {"a character cut off at the end is dropped", text.toUtf8().chopped(1), "UTF-8",
         text.chopped(1)},
        {"bytes that do not decode become replacement characters",
         QByteArray("A\xFF\xFE"
                    "B"),
         "UTF-8", QStringLiteral("A\uFFFD\uFFFDB")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(decodePage(row.bytes, row.label), row.expected);
    }
}
