#include "fake_news_component.h"

namespace orvane::news {

Expected<QString> FakeNewsComponent::latestNews(const QString& site) {
    const std::lock_guard lock(mutex_);
    sites_ << site;
    if (answers_.isEmpty()) {
        return Failure{FailureKind::NotFound, QStringLiteral("ニュースの答えが用意されていません")};
    }
    return answers_.takeFirst();
}

void FakeNewsComponent::answer(Expected<QString> answer) {
    const std::lock_guard lock(mutex_);
    answers_ << std::move(answer);
}

QStringList FakeNewsComponent::sitesAsked() const {
    const std::lock_guard lock(mutex_);
    return sites_;
}

}  // namespace orvane::news
