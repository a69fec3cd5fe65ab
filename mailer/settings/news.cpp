#include "news.h"

#include "announcer.h"
#include "input_hold.h"
#include "mail_store.h"
#include "news_component.h"

#include <QEventLoop>

#include <cstdio>
#include <optional>
#include <thread>

namespace orvane::mailer {

namespace {

// Runs the component's blocking read on a thread of its own and waits for
// it in a local event loop; user input is held back until the read is over.
Expected<QString> readWhileEventsRun(news::NewsComponent& news, const QString& site) {
    InputHold hold;
    std::optional<Expected<QString>> answer;
    QEventLoop loop;
    std::thread reader([&news, &answer, &loop, site] {
        Expected<QString> read = news.latestNews(site);
        QMetaObject::invokeMethod(
            &loop,
            [&answer, &loop, read] {
                answer = read;
                loop.quit();
            },
            Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    reader.join();
    if (!answer) {
        return Failure{FailureKind::Internal, QStringLiteral("ニュースの読み込みが中断されました")};
    }
    return *std::move(answer);
}

}  // namespace

NewsReading::NewsReading(MailStore& store, news::NewsComponent& news, Announcer& announcer)
    : store_(store), news_(news), announcer_(announcer) {}

void NewsReading::read_news() {
    const NewsOption option = store_.news();
    const QString site = option.site.trimmed();
    if (!option.sel || site.isEmpty()) {
        return;
    }
    const Expected<QString> news = readWhileEventsRun(news_, site);
    if (!news) {
        QString reason = news.failure().reason;
        reason.replace(QLatin1Char('\n'), QLatin1Char(' '));
        std::fprintf(stderr, "orvane: ニュースを読めません：%s\n",
                     reason.toLocal8Bit().constData());
        return;
    }
    announcer_.speak(*news);
}

}  // namespace orvane::mailer
