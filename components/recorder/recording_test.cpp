#include "recording.h"
#include "sample_processing.h"
#include "tone_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace orvane::recorder {
namespace {

constexpr AudioFormat kCd{44100, 2, 16};

// Keeps what it is given.
class CollectingEncoder final : public Encoder {
  public:
    Expected<void> write(std::span<const std::int16_t> samples) override {
        samples_.insert(samples_.end(), samples.begin(), samples.end());
        return success();
    }
    Expected<void> finish() override { return success(); }
    std::string description() const override { return "collected"; }

    std::vector<std::int16_t> samples_;
};

class FailingSource final : public AudioSource {
  public:
    AudioFormat format() const override { return kCd; }
    std::string description() const override { return "broken"; }
    Expected<std::size_t> read(std::span<std::int16_t>) override {
        return failure(FailureKind::Device, "the device went away");
    }
};

std::atomic<bool> notInterrupted{false};

TEST(Record, BoostedLoudToneSaturatesWithoutChangingSign) {
    ToneSource plain(kCd, {{0.5, 0.6, 440}});
    ToneSource boosted(kCd, {{0.5, 0.6, 440}});
    CollectingEncoder plainOut;
    CollectingEncoder boostedOut;
    RecordingPlan plan;
    ASSERT_TRUE(record(plain, plainOut, plan, notInterrupted).ok());
    plan.gain = gainForBoost(2);
    ASSERT_TRUE(record(boosted, boostedOut, plan, notInterrupted).ok());

    ASSERT_EQ(plainOut.samples_.size(), boostedOut.samples_.size());
    int clipped = 0;
    for (std::size_t i = 0; i < plainOut.samples_.size(); ++i) {
        const int in = plainOut.samples_[i];
        const int out = boostedOut.samples_[i];
        ASSERT_EQ(out, std::clamp(in * 4, -32768, 32767)) << "sample " << i;
        clipped += (out == 32767 || out == -32768) ? 1 : 0;
    }
    EXPECT_GT(clipped, 0);
}

TEST(Record, StopsAtTheTimeLimitExactly) {
    ToneSource source(kCd, {{5, 0.5}});
    CollectingEncoder out;
    RecordingPlan plan;
    plan.maxFrames = 44100 + 123;
    const auto outcome = record(source, out, plan, notInterrupted);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->reason, StopReason::TimeUp);
    EXPECT_EQ(outcome->frames, 44100 + 123);
    EXPECT_EQ(out.samples_.size(), std::size_t{(44100 + 123) * 2});
}

TEST(Record, SilenceEndsItAfterThePeriodBelowTheLevel) {
    const struct {
        const char* name;
        std::vector<ToneSource::Segment> input;
        SilenceRule rule;
        StopReason reason;
        double seconds;  // recorded when it stopped
    } rows[] = {
        {"talk, then quiet", {{1, 0.5}, {10, 0}}, {10, 2}, StopReason::Silence, 3},
        {"hiss below the level", {{1, 0.5}, {10, 0.005}}, {10, 2}, StopReason::Silence, 3},
        {"pause shorter than the period",
         {{1, 0.5}, {1.5, 0}, {1, 0.5}},
         {10, 2},
         StopReason::EndOfInput,
         3.5},
        {"quiet speech above the level", {{4, 0.05}}, {10, 2}, StopReason::EndOfInput, 4},
        {"silent from the start", {{10, 0}}, {10, 3}, StopReason::Silence, 3},
    };
    for (const auto& row : rows) {
        ToneSource source(kCd, row.input);
        CollectingEncoder out;
        RecordingPlan plan;
        plan.silence = row.rule;
        const auto outcome = record(source, out, plan, notInterrupted);
        ASSERT_TRUE(outcome.ok()) << row.name;
        EXPECT_EQ(outcome->reason, row.reason) << row.name;
        EXPECT_NEAR(double(outcome->frames) / kCd.sampleRate, row.seconds, 0.11) << row.name;
    }
}

TEST(Record, InterruptEndsBetweenBlocks) {
    ToneSource source(kCd, {{10, 0.5}});
    CollectingEncoder out;
    std::atomic<bool> interrupted{false};
    const auto outcome = record(source, out, {}, interrupted, [&](const Progress& progress) {
        if (progress.seconds >= 1.0) {
            interrupted = true;
        }
    });
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome->reason, StopReason::Interrupted);
    EXPECT_NEAR(static_cast<double>(outcome->frames) / kCd.sampleRate, 1.0, 0.01);
}

TEST(Record, SourceFailureIsReported) {
    FailingSource source;
    CollectingEncoder out;
    const auto outcome = record(source, out, {}, notInterrupted);
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.failure().kind, FailureKind::Device);
    EXPECT_EQ(outcome.failure().reason.toStdString(), "the device went away");
}

}  // namespace
}  // namespace orvane::recorder
