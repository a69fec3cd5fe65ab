// The mail list's speech as it is played: what a fast run of arrows leaves.
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
using orvane::mailer::test::MailerHome;

namespace {

// Plays a sample every 20 ms, so that a text takes a while; notes each piece
// with whether it was played whole or cut off by a stop.
class SlowSink final : public speech::AudioSink {
  public:
    struct Played {
        QString text;
        bool whole;
    };

    Expected<void> play(const speech::Audio& audio, const std::atomic<bool>& stop) override {
        ++started;
        for (std::size_t i = 0; i < audio.samples.size(); ++i) {
            if (stop) {
                record({speech::TextAsAudioEngine::decode(audio), false});
                return success();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        record({speech::TextAsAudioEngine::decode(audio), true});
        return success();
    }
    std::vector<Played> played() const {
        std::lock_guard lock(mutex_);
        return played_;
    }

    std::atomic<int> started = 0;  // pieces whose playing has begun

  private:
    void record(Played piece) {
        std::lock_guard lock(mutex_);
        played_.push_back(std::move(piece));
    }
    mutable std::mutex mutex_;
    std::vector<Played> played_;
};

// Six read mails on the list, the window started, its start-up speech played.
class MailListSpeech : public ::testing::Test {
  protected:
    void SetUp() override {
        const QDateTime t(QDate(2026, 3, 1), QTime(9, 0));
        for (int i = 0; i < subjects.size(); ++i) {
            const int id = home.store().insertReceivedMail(
                {t.addSecs(i), "f", QString("差出人%1 <s@example.jp>").arg(i), subjects[i], "",
                 ""});
            home.store().markRead(id);
        }
        speech::Agent::Options options;
        options.transcriptPath = home.transcriptPath();
        options.characterDirs = {home.dir.filePath("characters")};
        options.engineFactory = [] { return std::make_unique<speech::TextAsAudioEngine>(); };
        options.sink = sink;
        options.synthesisCacheBytes = 0;
        agent = std::make_unique<speech::Agent>(options);
        home.start(agent.get());
        ASSERT_TRUE(agent->waitUntilIdle(30000));
        before = sink->played().size();
        grid = home.grid();
        grid->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000));
    }
    void TearDown() override { home.window.reset(); }

    // What was played whole since start-up.
    QStringList playedWhole() const {
        QStringList whole;
        const std::vector<SlowSink::Played> played = sink->played();
        for (std::size_t i = before; i < played.size(); ++i) {
            if (played[i].whole) {
                whole << played[i].text;
            }
        }
        return whole;
    }

    const QStringList subjects = {"一通目の件名です", "二通目の件名です", "三通目の件名です",
                                  "四通目の件名です", "五通目の件名です", "六通目の件名です"};
    MailerHome home;
    std::shared_ptr<SlowSink> sink = std::make_shared<SlowSink>();
    std::unique_ptr<speech::Agent> agent;
    std::size_t before = 0;
    QTableView* grid = nullptr;
};

}  // namespace

TEST_F(MailListSpeech, AFastRunOfArrowsLeavesOnlyTheLastRowPlaying) {
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(grid, Qt::Key_Down);
    }
    ASSERT_TRUE(agent->waitUntilIdle(30000));
    // Row 5 is the second-oldest mail: "二通目", from 差出人1.
    EXPECT_EQ(playedWhole(), (QStringList{speech::normalizeForSpeech("二通目の件名です"),
                                          speech::normalizeForSpeech("差出人1")}));
}

TEST_F(MailListSpeech, CtrlAloneSilencesTheReadingOfTheSubjects) {
    const int startedBefore = sink->started;
    QTest::keyClick(grid, Qt::Key_P, Qt::ControlModifier);  // six subjects queued
    // The second subject is being heard.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sink->started == startedBefore + 2; }, 5000));
    QTest::keyPress(grid, Qt::Key_Control);
    QTest::keyRelease(grid, Qt::Key_Control);
    ASSERT_TRUE(agent->waitUntilIdle(5000));
    // The queue is empty at once; the piece under way ends on the sink's next sample.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return sink->played().size() == static_cast<std::size_t>(sink->started); }, 2000));
    const std::vector<SlowSink::Played> played = sink->played();
    EXPECT_LT(playedWhole().size(), subjects.size());
    EXPECT_FALSE(played.back().whole);  // the one being heard was cut off
}
