#include "agent.h"
#include "announcer.h"
#include "fake_mail_component.h"
#include "shell_wait.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

class SpeechStatusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
    }
    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }

    QTemporaryDir dir;
    QLabel status;
    QLabel guide;
    Announcer announcer{&status, &guide};
    std::unique_ptr<speech::Agent> agent;
    ShellWait wait{[this](const QString& left) { announcer.show_message(left); }};
};

}  // namespace

TEST_F(SpeechStatusTest, SpeakBlanksDashAndEqualsButLeavesCallersText) {
    const QString text = "Re: a-b=c";
    announcer.speak(text);
    announcer.speak("");
    EXPECT_EQ(text, "Re: a-b=c");
    EXPECT_EQ(spoken(), QStringList{"Re: a b c"});
}

TEST_F(SpeechStatusTest, BurstBeforeAPauseReachesTheTranscriptWholeAndInOrder) {
    QStringList expected;
    for (int i = 0; i < 200; ++i) {
        announcer.speak(QStringLiteral("メール%1件目\n二行目").arg(i));
        expected << QStringLiteral("メール%1件目\\n二行目").arg(i);
    }
    mail::FakeMailComponent component;
    component.realSleep = true;
    component.sleep(2);
    EXPECT_EQ(spoken(), expected);
}

TEST_F(SpeechStatusTest, AProgramThatEndsAtOnceLeavesTheStatusLine) {
    announcer.show_message("録音");
    EXPECT_FALSE(wait.shell_and_wait("true", 0, 30, dir.path()));
    EXPECT_FALSE(wait.timer().isActive());
    EXPECT_EQ(status.text(), "録音");
}

TEST_F(SpeechStatusTest, CountdownTicksWhileAProgramRunsAndKeysTypedMeanwhileComeAfter) {
    QLineEdit field;
    field.show();
    field.setFocus();
    QTimer::singleShot(200, [&] { QTest::keyClicks(&field, "abc"); });
    QStringList ticks;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (ticks.isEmpty() || ticks.last() != status.text()) {
            ticks << status.text();
        }
    });
    probe.start(50);
    EXPECT_FALSE(wait.shell_and_wait("sleep 2.5", 0, 30, dir.path()));
    probe.stop();
    EXPECT_EQ(field.text(), "");  // held back until now
    EXPECT_TRUE(QTest::qWaitFor([&] { return field.text() == "abc"; }, 2000));
    EXPECT_TRUE(ticks.contains("29"));
    EXPECT_TRUE(ticks.contains("28"));
    EXPECT_FALSE(wait.timer().isActive());
}
