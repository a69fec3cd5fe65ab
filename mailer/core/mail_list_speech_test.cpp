// The mail list's speech as it is played: what a fast run of arrows leaves,
// and what Ctrl cuts off.
#include "audio_sink.h"
#include "fake_engine.h"
#include "text_normalizer.h"
#include "window_test_support.h"

#include <QTableView>
#include <QTest>

#include <mutex>
#include <thread>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

// Plays a sample every 20 ms, so that a text takes a while; notes each text
// played whole and counts the pieces begun and ended.
class SlowSink final : public speech::AudioSink {
  public:
    std::optional<QString> play(const speech::Audio& audio,
                                const std::atomic<bool>& stop) override {
        ++started;
        for (std::size_t i = 0; i < audio.samples.size() && !stop; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::lock_guard lock(mutex_);
        (stop ? cut : whole) << speech::TextAsAudioEngine::decode(audio);
        return std::nullopt;
    }
    QStringList playedWhole() const {
        std::lock_guard lock(mutex_);
        return whole;
    }
    int ended() const {
        std::lock_guard lock(mutex_);
        return int(whole.size() + cut.size());
    }

    std::atomic<int> started = 0;

  private:
    mutable std::mutex mutex_;
    QStringList whole;
    QStringList cut;
};

}  // namespace

// Six read mails on the list, the window started and its start-up speech played.
TEST(MailListSpeech, AFastRunOfArrowsLeavesOnlyTheLastRowPlayingAndCtrlAloneSilencesTheSubjects) {
    test::MailerHome home;
    const QDateTime t(QDate(2026, 3, 1), QTime(9, 0));
    for (int i = 0; i < 6; ++i) {
        home.store().markRead(home.store().insertReceivedMail(
            {t.addSecs(i), "f", QString("差出人%1 <s@example.jp>").arg(i),
             QString("%1通目の件名です").arg(i), "", ""}));
    }
    const auto sink = std::make_shared<SlowSink>();
    speech::Agent::Options options;
    options.transcriptPath = home.transcriptPath();
    options.characterDirs = {home.dir.filePath("characters")};
    options.engineFactory = [] { return std::make_unique<speech::TextAsAudioEngine>(); };
    options.sink = sink;
    options.synthesisCacheBytes = 0;
    home.agent = std::make_unique<speech::Agent>(options);
    speech::Agent& agent = *home.agent;
    home.start(&agent);
    ASSERT_TRUE(agent.waitUntilIdle(30000));
    QTableView* grid = home.grid();
    ASSERT_TRUE(home.focus(grid));

    qsizetype heard = sink->playedWhole().size();
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(grid, Qt::Key_Down);
    }
    ASSERT_TRUE(agent.waitUntilIdle(30000));
    // Row 5 is the second-oldest mail.
    EXPECT_EQ(sink->playedWhole().mid(heard),
              (QStringList{speech::normalizeForSpeech("1通目の件名です"),
                           speech::normalizeForSpeech("差出人1")}));

    heard = sink->playedWhole().size();
    const int startedBefore = sink->started;
    QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);  // six subjects queued
    // The second subject is being heard.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink->started == startedBefore + 2; }, 5000));
    QTest::keyPress(grid, Qt::Key_Control);
    QTest::keyRelease(grid, Qt::Key_Control);
    ASSERT_TRUE(agent.waitUntilIdle(5000));
    // The queue is empty at once; the piece under way ends on the sink's next sample.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink->ended() == sink->started; }, 2000));
    // Only the piece under way when Ctrl came was cut off, and the rest never began.
    const int begun = sink->started - startedBefore;
    EXPECT_EQ(sink->playedWhole().mid(heard).size(), begun - 1);
    EXPECT_LT(begun, 6);
}
