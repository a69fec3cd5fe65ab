#include "news_component.h"
#include "news_http_server.h"
#include "news_test_support.h"
#include "page_fetcher.h"
#include "test_certificate.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::news;
using orvane::news::testing::encoded;
using orvane::news::testing::NewsHttpServer;
using orvane::news::testing::writePage;

inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace {

const QString kRss = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>例</title>"
    "<item><title>台風が上陸</title><pubDate>Tue, 02 Jan 2024 09:00:00 +0900</pubDate></item>"
    "<item><title>株価が上昇</title><pubDate>Mon, 01 Jan 2024 09:00:00 +0900</pubDate></item>"
    "</channel></rss>");

// A site on a local server; each test writes the pages it asks for.
class NewsFetchTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.started()); }

    Expected<QString> read(const QString& path) {
        return createNewsComponent(NewsOptions{})->latestNews(server.url(path));
    }

    QTemporaryDir root;
    NewsHttpServer server{root.path()};
};

QByteArray pageWithFeed(const char* href) {
    return "<html><head><link rel=\"alternate\" type=\"application/rss+xml\" href=\"" +
           QByteArray(href) + "\"></head><body><h2>ページの見出し</h2></body></html>";
}

}  // namespace

TEST_F(NewsFetchTest, FeedsAndPagesBecomeOneSpokenText) {
    struct Row {
        const char* path;
        QByteArray page;
        QByteArray type;
        QString expected;
    } rows[] = {
        {"rss.xml", kRss.toUtf8(), "application/rss+xml",
         "最新のニュースです。台風が上陸。株価が上昇。"},
        {"atom.xml",
         "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>例</title>"
         "<entry><title type=\"html\">新駅が&lt;b&gt;開業&lt;/b&gt;</title></entry>"
         "<entry><title>桜が満開！</title></entry></feed>",
         "application/atom+xml", "最新のニュースです。新駅が開業。桜が満開！"},
        {"sjis.html",
         encoded("<html><head><meta http-equiv=\"Content-Type\" "
                 "content=\"text/html; charset=Shift_JIS\"><title>例の新聞</title></head>"
                 "<body><h1>例の新聞</h1><h2>①大雨で川が増水～</h2><h2>新しい駅が開業</h2>"
                 "</body></html>",
                 "CP932"),
         "text/html", "最新のニュースです。①大雨で川が増水～。新しい駅が開業。"},
        {"eucjp.html", encoded("<html><body><h2>②雪で列車が遅延～</h2></body></html>", "EUC-JP-MS"),
         "text/html; charset=EUC-JP", "最新のニュースです。②雪で列車が遅延～。"},
        {"with-feed.html", pageWithFeed("rss.xml"), "text/html; charset=utf-8",
         "最新のニュースです。台風が上陸。株価が上昇。"},
        {"with-missing-feed.html", pageWithFeed("gone.xml"), "text/html; charset=utf-8",
         "最新のニュースです。ページの見出し。"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        ASSERT_TRUE(writePage(root.path(), row.path, row.page, row.type));
        const Expected<QString> news = read(row.path);
        ASSERT_TRUE(news) << news.failure().reason.toStdString();
        EXPECT_EQ(*news, row.expected);
    }
}

TEST_F(NewsFetchTest, BadSitesFailWithTheirReasonWithinTheTimeLimit) {
    QByteArray garbage;
    for (int i = 0; i < 20000; ++i) {
        garbage += static_cast<char>((i * 7919 + 13) % 256);
    }
    ASSERT_TRUE(writePage(root.path(), "garbage", garbage, "text/html"));
    struct Row {
        const char* name;
        QString site;
        FailureKind kind;
    } rows[] = {
        {"garbage", server.url("garbage"), FailureKind::BadInput},
        {"redirect loop", server.url("loop"), FailureKind::Protocol},
        {"accepts and never answers", server.url("hang"), FailureKind::Timeout},
        {"missing page", server.url("nothing.html"), FailureKind::Refused},
        {"nobody listening", "http://127.0.0.1:1/", FailureKind::Unreachable},
        {"not http", "ftp://127.0.0.1/news", FailureKind::BadInput},
    };
    auto news = createNewsComponent(NewsOptions{});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QElapsedTimer clock;
        clock.start();
        const Expected<QString> answer = news->latestNews(row.site);
        EXPECT_LT(clock.elapsed(), 5000) << "the limit is 3 seconds";
        ASSERT_FALSE(answer);
        EXPECT_EQ(answer.failure().kind, row.kind) << answer.failure().reason.toStdString();
        EXPECT_FALSE(answer.failure().reason.isEmpty());
    }
}

TEST_F(NewsFetchTest, AHugePageIsCutOffAndItsBeginningRead) {
    const NewsOptions defaults;
    const Expected<FetchedPage> page =
        fetchPage(QUrl(server.url("big")), {QDeadlineTimer(10000), defaults.maxBytes, 5, {}});
    ASSERT_TRUE(page) << page.failure().reason.toStdString();
    EXPECT_TRUE(page->cutOff);
    EXPECT_EQ(page->body.size(), 2 * 1024 * 1024);
    // The server stops once the client stops reading: far from all 50 MB went out.
    const qint64 sent = server.waitForLine("big sent ", 30000).toLongLong();
    EXPECT_GT(sent, 0);
    EXPECT_LT(sent, 25 * 1024 * 1024);

    const Expected<QString> news = read("big");
    ASSERT_TRUE(news) << news.failure().reason.toStdString();
    EXPECT_EQ(*news, "最新のニュースです。大きなページの見出し。");
}

TEST(NewsFetchTls, CertificatesAreVerified) {
    orvane::testing::TestCertificate certificate;
    ASSERT_TRUE(certificate.ok()) << certificate.error().toStdString();
    QTemporaryDir root;
    ASSERT_TRUE(writePage(root.path(), "rss.xml", kRss.toUtf8(), "application/rss+xml"));
    NewsHttpServer server(root.path(), certificate.certFile(), certificate.keyFile());
    ASSERT_TRUE(server.started());

    const Expected<QString> untrusted =
        createNewsComponent(NewsOptions{})->latestNews(server.url("rss.xml"));
    ASSERT_FALSE(untrusted);
    EXPECT_EQ(untrusted.failure().kind, FailureKind::Tls);

    NewsOptions trusting;
    trusting.extraCaFiles << certificate.certFile();
    auto news = createNewsComponent(trusting);
    const Expected<QString> trusted = news->latestNews(server.url("rss.xml"));
    ASSERT_TRUE(trusted) << trusted.failure().reason.toStdString();
    EXPECT_EQ(*trusted, "最新のニュースです。台風が上陸。株価が上昇。");

    // A site written without a scheme is reached over https.
    const QString bare = server.url("rss.xml").mid(QStringLiteral("https://").size());
    const Expected<QString> viaBareName = news->latestNews(bare);
    ASSERT_TRUE(viaBareName) << viaBareName.failure().reason.toStdString();
}
