#include "agent.h"
#include "announcer.h"
#include "character.h"
#include "fake_mail_component.h"
#include "input_hold.h"
#include "shell_wait.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

class SpeechStatusTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QFile acs(dir.filePath("genie.acs"));
        ASSERT_TRUE(acs.open(QIODevice::WriteOnly));
        acs.write("name=Genie\n");
        acs.close();
        speech::Agent::Options options;
        options.transcriptPath = transcript();
        options.characterDirs = {dir.path()};
        agent = std::make_unique<speech::Agent>(options);
        ASSERT_TRUE(agent->load("genie", "genie.acs").ok());
        announcer.setCharacter(agent->character("genie"));
    }
    QString transcript() const { return dir.filePath("transcript.txt"); }

    QTemporaryDir dir;
    QLabel status;
    QLabel guide;
    Announcer announcer{&status, &guide};
    std::unique_ptr<speech::Agent> agent;
};

}  // namespace

TEST_F(SpeechStatusTest, SpeakBlanksDashAndEqualsButLeavesCallersText) {
    const QString text = "Re: a-b=c";
    announcer.speak(text);
    announcer.speak("");
    EXPECT_EQ(text, "Re: a-b=c");
    EXPECT_EQ(transcriptTexts(transcript()), QStringList{"Re: a b c"});
}

TEST_F(SpeechStatusTest, BurstBeforeAPauseReachesTheTranscriptWholeAndInOrder) {
    QStringList expected;
    for (int i = 0; i < 200; ++i) {
        expected << QStringLiteral("メール%1件目\n二行目").arg(i).replace('\n', "\\n");
        announcer.speak(QStringLiteral("メール%1件目\n二行目").arg(i));
    }
    mail::FakeMailComponent component;
    component.realSleep = true;
    component.sleep(2);
    EXPECT_EQ(transcriptTexts(transcript()), expected);
}

TEST_F(SpeechStatusTest, KeyGuideAndStatusLine) {
    announcer.shortcut("[TAB:次 ]");
    announcer.show_message("送信メール入力");
    EXPECT_EQ(guide.text(), "[TAB:次 ]");
    EXPECT_EQ(status.text(), "送信メール入力");
    announcer.report_error("理由");
    EXPECT_EQ(status.text(), "エラー：理由");
    EXPECT_EQ(transcriptTexts(transcript()).last(), "エラー：理由");
}

TEST_F(SpeechStatusTest, ProgramThatEndsAtOnceLeavesTheStatusLine) {
    ShellWait wait([this](const QString& w) { announcer.show_message(w); });
    announcer.show_message("録音");
    EXPECT_TRUE(wait.shell_and_wait("true", 0, 30, dir.path()).ok());
    EXPECT_FALSE(wait.timer().isActive());
    EXPECT_EQ(status.text(), "録音");
}

TEST_F(SpeechStatusTest, CountdownTicksWhileProgramRunsAndTypedKeysComeAfter) {
    ShellWait wait([this](const QString& w) { announcer.show_message(w); });
    QLineEdit field;
    field.show();
    field.setFocus();
    // Keys typed while the program runs: they must arrive once it has ended.
    QTimer::singleShot(200, [&] { QTest::keyClicks(&field, "abc"); });
    QStringList ticks;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (ticks.isEmpty() || ticks.last() != status.text()) {
            ticks << status.text();
        }
    });
    probe.start(50);
    EXPECT_TRUE(wait.shell_and_wait("sleep 2.5", 0, 30, dir.path()).ok());
    probe.stop();
    EXPECT_EQ(field.text(), "");  // held back until now
    EXPECT_TRUE(QTest::qWaitFor([&] { return field.text() == "abc"; }, 2000));
    EXPECT_TRUE(ticks.contains("29"));
    EXPECT_TRUE(ticks.contains("28"));
    EXPECT_FALSE(wait.timer().isActive());
}

TEST_F(SpeechStatusTest, ProgramThatCannotStartIsReported) {
    ShellWait wait([this](const QString& w) { announcer.show_message(w); });
    const auto ran = wait.shell_and_wait("/nonexistent/trelcap -t 5", 0, 5, dir.path());
    ASSERT_FALSE(ran.ok());
    EXPECT_TRUE(ran.failure().reason.contains("/nonexistent/trelcap"));
}
