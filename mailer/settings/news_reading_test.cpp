#include "news.h"

#include "agent.h"
#include "announcer.h"
#include "character.h"
#include "fake_news_component.h"
#include "mail_store.h"
#include "news_http_server.h"
#include "news_test_support.h"
#include "test_support.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

// A store with the given news options, a character whose words reach a
// transcript, and what was written to standard error during read_news.
class NewsReadingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto opened = MailStore::open(storePath());
        ASSERT_TRUE(opened.ok()) << opened.failure().reason.toStdString();
        store.emplace(std::move(opened).value());
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
    }

    QString storePath() const { return dir.filePath("speak_mail.mdb"); }

    void setNewsOptions(bool selected, const QString& site) {
        store->setNewsSelected(selected);
        store->setNewsSite(site);
    }

    // Runs read_news with `news`; returns the lines written to standard error.
    QStringList readNews(news::NewsComponent& news) {
        NewsReading reading(*store, news, announcer);
        ::testing::internal::CaptureStderr();
        reading.read_news();
        return QString::fromStdString(::testing::internal::GetCapturedStderr())
            .split('\n', Qt::SkipEmptyParts);
    }

    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }

    QTemporaryDir dir;
    std::optional<MailStore> store;
    QLabel status;
    QLabel guide;
    Announcer announcer{&status, &guide};
    std::unique_ptr<speech::Agent> agent;
};

const QString kRss = QStringLiteral(
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel>"
    "<item><title>台風が上陸</title></item><item><title>株価が上昇</title></item>"
    "</channel></rss>");

}  // namespace

TEST_F(NewsReadingTest, TheOptionsDecideWhetherNewsIsReadAndSpoken) {
    struct Row {
        const char* name;
        bool selected;
        QString site;
        std::optional<Expected<QString>> answer;
        QStringList expectedSpoken;
        int expectedErrorLines;
    } rows[] = {
        {"flag and site",
         true,
         " news.example.test ",
         Expected<QString>("最新のニュースです。A。"),
         {"最新のニュースです。A。"},
         0},
        {"flag off", false, "news.example.test", std::nullopt, {}, 0},
        {"no site", true, "", std::nullopt, {}, 0},
        {"blank site", true, "   ", std::nullopt, {}, 0},
        {"failing site",
         true,
         "news.example.test",
         Expected<QString>(
             Failure{FailureKind::Timeout, "ニュースサイト x から時間内に応答がありません"}),
         {},
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qsizetype spokenBefore = spoken().size();
        setNewsOptions(row.selected, row.site);
        news::FakeNewsComponent fake;
        if (row.answer) {
            fake.answer(*row.answer);
        }
        const QStringList errors = readNews(fake);
        EXPECT_EQ(fake.sitesAsked(), row.answer ? QStringList{row.site.trimmed()} : QStringList{});
        EXPECT_EQ(spoken().mid(spokenBefore), row.expectedSpoken);
        ASSERT_EQ(errors.size(), row.expectedErrorLines) << errors.join('|').toStdString();
        if (!errors.isEmpty()) {
            EXPECT_TRUE(errors.first().contains("時間内に応答がありません"));
        }
    }
}

TEST_F(NewsReadingTest, HeadlinesOfARealSiteAreSpokenOnlyWhenAsked) {
    QTemporaryDir root;
    ASSERT_TRUE(
        news::testing::writePage(root.path(), "rss.xml", kRss.toUtf8(), "application/rss+xml"));
    news::testing::NewsHttpServer server(root.path());
    ASSERT_TRUE(server.started());
    auto news = news::createNewsComponent(news::NewsOptions{});

    setNewsOptions(false, server.url("rss.xml"));
    EXPECT_TRUE(readNews(*news).isEmpty());
    EXPECT_EQ(server.requestCount(), 0) << "nothing is fetched with the flag off";
    EXPECT_EQ(spoken(), QStringList{});

    setNewsOptions(true, server.url("rss.xml"));
    EXPECT_TRUE(readNews(*news).isEmpty());
    EXPECT_EQ(server.requestCount(), 1);
    EXPECT_EQ(spoken(), QStringList{"最新のニュースです。台風が上陸。株価が上昇。"});
}

TEST_F(NewsReadingTest, ASilentServerHoldsStartUpNoLongerThanTheLimitWhileEventsRun) {
    QTemporaryDir root;
    news::testing::NewsHttpServer server(root.path());
    ASSERT_TRUE(server.started());
    auto news = news::createNewsComponent(news::NewsOptions{});
    setNewsOptions(true, server.url("hang"));

    // A timer standing for the window's repaints and the character's
    // animation must fire while the news is awaited; a key typed meanwhile
    // waits for the end.
    QLineEdit field;
    bool timerRan = false;
    QTimer::singleShot(50, [&] {
        timerRan = true;
        QCoreApplication::postEvent(&field, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, "a"));
    });
    QElapsedTimer clock;
    clock.start();
    const QStringList errors = readNews(*news);
    EXPECT_LT(clock.elapsed(), 5000) << "the limit is 3 seconds";
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(field.text(), "");
    QCoreApplication::processEvents();
    EXPECT_EQ(field.text(), "a");
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(spoken(), QStringList{});
}
