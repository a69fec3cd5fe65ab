// The splitter and the news read at start-up, through the real main window.
#include "fake_news_component.h"
#include "news_http_server.h"
#include "news_test_support.h"
#include "splitter.h"
#include "window_test_support.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSemaphore>
#include <QStringEncoder>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextEdit>

using namespace orvane;
using namespace orvane::mailer;
using orvane::mailer::test::MailerHome;

TEST(LayoutWindowTest, TheSplitterMovesByMouseAndKeysWithinItsLimitsAndFollowsTheWindow) {
    MailerHome home;
    MainWindow& window = home.start();
    Splitter& splitter = window.splitter();
    QTableView* grid = home.grid();
    auto* body = home.control<QTextEdit>("bodytext");
    auto* img = home.control<QWidget>("imgsplitter");
    auto* bar = home.control<QWidget>("picsplitter");
    ASSERT_TRUE(img && bar && body);
    // The window's layout has settled: the panes fill their container.
    const auto panesSettled = [&] {
        const QWidget* panes = grid->parentWidget();
        return QTest::qWaitFor(
            [&] {
                return splitter.panes_height() ==
                           splitter.toTwips(panes->height()) - Splitter::kSplitterHeight &&
                       body->mapTo(panes, QPoint(0, body->height())).y() == panes->height();
            },
            2000);
    };
    // The list's top and the body's bottom in the window, in pixels.
    const auto edges = [&] {
        return std::pair(grid->mapTo(&window, QPoint(0, 0)).y(),
                         body->mapTo(&window, QPoint(0, body->height())).y());
    };
    const auto shownTwips = [&](const QWidget* widget) {
        return splitter.toTwips(widget->height());
    };
    ASSERT_TRUE(panesSettled());
    const int panes = splitter.panes_height();
    const int minimum = splitter.minimumHeight();
    ASSERT_GT(panes, 4 * minimum + 1200) << "the window leaves room for the drags below";

    struct Drag {
        const char* name;
        int drag;  // twips, down when positive
        int expectedList;
    } drags[] = {
        {"600 down", 600, panes / 2 + 600},
        {"far above the list's top", -(panes + 3000), minimum},
        {"far below the body's bottom", panes + 3000, panes - minimum},
    };
    for (const Drag& row : drags) {
        SCOPED_TRACE(row.name);
        splitter.SizeControls(panes / 2);
        const auto before = edges();
        const QPoint from(img->width() / 2, 0);
        const QPoint to = from + QPoint(0, splitter.toPixels(row.drag));
        QTest::mouseMove(img, from + QPoint(0, 1));
        EXPECT_FALSE(bar->isVisible()) << "moving over it without a button drags nothing";
        QTest::mousePress(img, Qt::LeftButton, {}, from);
        QTest::mouseMove(img, to);
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(splitter.gridHeight(), panes / 2) << "only the bar moves during the drag";
        QTest::mouseRelease(img, Qt::LeftButton, {}, to);

        EXPECT_EQ(splitter.gridHeight(), row.expectedList);
        EXPECT_NEAR(shownTwips(grid), row.expectedList, 15);
        EXPECT_NEAR(shownTwips(body), panes - row.expectedList, 15);
        EXPECT_EQ(edges(), before);
        EXPECT_FALSE(bar->isVisible());
    }

    // Ctrl+Shift+Up and Down from any place; the list's share is placed so
    // that a line's step never lands on a rounding border.
    const int line = splitter.lineHeight();
    const int start = panes * 35 / 100;
    auto* compose = home.control<QTextEdit>("body");
    compose->setPlainText("一行目\n二行目");
    struct Key {
        const char* name;
        QWidget* place;
        Qt::Key key;
        int expectedList;
    } keys[] = {
        {"down in the mail list", grid, Qt::Key_Down, start + line},
        {"up in the body field, ahead of its selection key", compose, Qt::Key_Up, start - line},
    };
    for (const Key& row : keys) {
        SCOPED_TRACE(row.name);
        splitter.SizeControls(start);
        row.place->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return row.place->hasFocus(); }, 2000));
        const qsizetype mark = home.spoken().size();
        QTest::keyClick(row.place, row.key, Qt::ControlModifier | Qt::ShiftModifier);

        EXPECT_EQ(splitter.gridHeight(), row.expectedList);
        EXPECT_NEAR(shownTwips(grid), row.expectedList, 15);
        const QString share =
            QStringLiteral("一覧 %1割").arg(qRound(10.0 * row.expectedList / panes));
        EXPECT_EQ(home.spokenSince(mark), QStringList{share});
        EXPECT_EQ(home.control<QLabel>("cmd_message")->text(), share);
        EXPECT_FALSE(compose->textCursor().hasSelection());
    }

    // A resized window is filled; the list keeps its share, or takes half
    // when there is no room for two minimums.
    splitter.SizeControls(panes / 4);
    window.setWindowState(Qt::WindowNoState);
    struct Resize {
        const char* name;
        int windowHeight;
        double expectedShare;
    } resizes[] = {
        {"three quarters as high", window.height() * 3 / 4, 0.25},
        {"too low for two minimums", window.minimumSizeHint().height() + splitter.toPixels(minimum),
         0.5},
    };
    for (const Resize& row : resizes) {
        SCOPED_TRACE(row.name);
        window.resize(window.width(), row.windowHeight);
        ASSERT_TRUE(panesSettled());
        const int resized = splitter.panes_height();
        ASSERT_EQ(resized < 2 * minimum, row.expectedShare == 0.5) << resized;
        EXPECT_NEAR(splitter.gridHeight(), row.expectedShare * resized, 15);
    }
}

namespace {

// A scripted news component; while its read is under way a key is typed into
// `field`, and what the field shows once the key has had its turn goes to
// `shown`.
class TypingDuringTheRead : public news::FakeNewsComponent {
  public:
    TypingDuringTheRead(QLineEdit& field, QString& shown) : field_(field), shown_(shown) {}

    Expected<QString> latestNews(const QString& site) override {  // on a thread of its own
        auto seen = std::make_shared<QSemaphore>();
        QMetaObject::invokeMethod(&field_, [this, seen] {
            QCoreApplication::postEvent(&field_,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_A, {}, "a"));
            QMetaObject::invokeMethod(
                &field_,
                [this, seen] {
                    shown_ = field_.text();
                    seen->release();
                },
                Qt::QueuedConnection);
        });
        seen->tryAcquire(1, 5000);  // in vain when no event runs during the read
        return FakeNewsComponent::latestNews(site);
    }

  private:
    QLineEdit& field_;
    QString& shown_;
};

}  // namespace

TEST(NewsAtStartUpTest, HeadlinesAreSpokenAfterTheTimeWhenAskedForAndAFailureOnlyWritten) {
    struct Row {
        const char* name;
        bool selected;
        QString site;
        QString asked;  // the site the news is asked for; empty: not asked
        QString news;   // the answer; empty: the read fails with a reason of two lines
    } rows[] = {
        {"news asked for", true, " news.example.jp/top ", "news.example.jp/top",
         "最新のニュースです。台風が上陸。株価が上昇。"},
        {"news flag off", false, "news.example.jp", "", ""},
        {"blank site", true, "   ", "", ""},
        {"unreadable site", true, "news.example.jp", "news.example.jp", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        MailerHome home;
        home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
        home.rcvAnswers = {QStringList{"0 0"}};
        home.store().setNewsSelected(row.selected);
        home.store().setNewsSite(row.site);
        QLineEdit field;
        QString shownDuringTheRead = "(never)";
        TypingDuringTheRead* news = nullptr;
        home.createNews = [&]() -> std::unique_ptr<news::NewsComponent> {
            auto made = std::make_unique<TypingDuringTheRead>(field, shownDuringTheRead);
            made->answer(
                row.news.isEmpty()
                    ? Expected<QString>(Failure{FailureKind::Timeout, "時間内に\n応答がありません"})
                    : Expected<QString>(row.news));
            news = made.get();
            return made;
        };
        ::testing::internal::CaptureStderr();
        home.start();
        const QString errors = QString::fromStdString(::testing::internal::GetCapturedStderr());

        const QStringList asked = news ? news->sitesAsked() : QStringList{};
        EXPECT_EQ(asked, row.asked.isEmpty() ? QStringList{} : QStringList{row.asked});
        const bool failed = !row.asked.isEmpty() && row.news.isEmpty();
        // A failure is one line of standard error, its reason included.
        EXPECT_EQ(errors.count("ニュースを読めません：時間内に 応答がありません\n"), failed ? 1 : 0)
            << errors.toStdString();
        EXPECT_EQ(errors.contains("ニュース"), failed) << errors.toStdString();
        // Start-up goes on: the time, any news, then the mail counts.
        QStringList expected = {"新規メールは有りません", "新着メールは有りません",
                                "未読メールは有りません"};
        if (!row.news.isEmpty()) {
            expected.prepend(row.news);
        }
        EXPECT_EQ(home.spoken().mid(1), expected);
        if (!row.asked.isEmpty()) {
            // Events ran while the news was awaited; the key waited for its
            // end and was not lost.
            EXPECT_EQ(shownDuringTheRead, "");
            EXPECT_EQ(field.text(), "a");
        }
    }
}

// The real news component against a site on a local server: a feed and a
// Shift_JIS page are read aloud at start-up; with the news turned off the
// site never hears from the mailer.
TEST(NewsAtStartUpTest, ALocalSiteIsReadAloudOnlyWhenTheNewsIsOn) {
    QTemporaryDir root;
    const QString rss = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><rss version=\"2.0\"><channel><title>例</title>"
        "<item><title>台風が上陸</title></item><item><title>株価が上昇</title></item>"
        "</channel></rss>");
    ASSERT_TRUE(
        news::testing::writePage(root.path(), "rss.xml", rss.toUtf8(), "application/rss+xml"));
    ASSERT_TRUE(news::testing::writePage(
        root.path(), "sjis.html",
        QStringEncoder("Shift_JIS")
            .encode(QStringLiteral("<html><head><meta charset=\"Shift_JIS\"></head><body>"
                                   "<h2>大雨で川が増水</h2><h2>新しい駅が開業</h2></body></html>")),
        "text/html"));
    news::testing::NewsHttpServer server(root.path());
    ASSERT_TRUE(server.started());
    const struct {
        const char* page;
        bool selected;
        QString spoken;  // empty: nothing is asked of the site
    } rows[] = {
        {"rss.xml", true, "最新のニュースです。台風が上陸。株価が上昇。"},
        {"sjis.html", true, "最新のニュースです。大雨で川が増水。新しい駅が開業。"},
        {"rss.xml", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.page);
        const int before = server.requestCount();
        MailerHome home;
        home.addAccount("pop3://127.0.0.1:1", "me@example.jp");
        home.rcvAnswers = {QStringList{"0 0"}};
        home.store().setNewsSelected(row.selected);
        home.store().setNewsSite(server.url(row.page));
        home.start();
        EXPECT_EQ(home.spoken().value(1),
                  row.spoken.isEmpty() ? "新規メールは有りません" : row.spoken);
        EXPECT_EQ(server.requestCount() - before, row.spoken.isEmpty() ? 0 : 1);
    }
}
