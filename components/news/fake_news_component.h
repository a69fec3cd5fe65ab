#pragma once

#include "news_component.h"

#include <QList>
#include <QStringList>

#include <mutex>

namespace orvane::news {

// A scripted news component for tests: answers from a queue filled by the
// test and records the sites asked for. An empty queue answers with a failure.
class FakeNewsComponent : public NewsComponent {
  public:
    Expected<QString> latestNews(const QString& site) override;

    void answer(Expected<QString> answer);
    QStringList sitesAsked() const;

  private:
    mutable std::mutex mutex_;
    QList<Expected<QString>> answers_;
    QStringList sites_;
};

}  // namespace orvane::news
