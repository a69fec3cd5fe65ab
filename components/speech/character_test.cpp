#include "character.h"
#include "agent.h"
#include "character_window.h"
#include "fake_engine.h"
#include "qstring_printer.h"
#include "test_sink.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>

using namespace orvane::speech;
using orvane::speech::test::PacedSink;

namespace {

QString shippedCharacters() {
    return QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath("characters");
}

Agent::Options fakeOptions(QStringList dirs, std::shared_ptr<AudioSink> sink = nullptr) {
    return {QString(), std::move(dirs), [] { return std::make_unique<TextAsAudioEngine>(); },
            sink ? sink : std::make_shared<RecordingSink>()};
}

}  // namespace

TEST(CharacterFiles, ShippedCharactersLoadWithOwnPictureAndVoice) {
    Agent agent(fakeOptions({shippedCharacters()}));
    std::set<std::pair<double, double>> voices;
    for (const char* name : {"genie", "MAX", "Genie", "Merlin", "Wabbit"}) {
        SCOPED_TRACE(name);
        const QString file = QString::fromLatin1(name) + ".acs";
        ASSERT_TRUE(agent.load("genie", file).ok());
        Character* c = agent.character("genie");
        ASSERT_TRUE(c);
        EXPECT_EQ(c->profile().name.toLower(), QString::fromLatin1(name).toLower());
        c->show();
        ASSERT_TRUE(c->window());
        EXPECT_TRUE(c->window()->hasPicture()) << c->profile().picturePath.toStdString();
        voices.insert({c->profile().voice.speed, c->profile().voice.pitch});
        agent.unload("genie");
        EXPECT_EQ(agent.character("genie"), nullptr);
    }
    EXPECT_EQ(voices.size(), 4u) << "MAX, Genie, Merlin and Wabbit sound alike";
}

TEST(CharacterFiles, PathsAreTakenFromTheFilesFolder) {
    QTemporaryDir dir;
    QFile f(dir.filePath("Own.ACS"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "# comment\nname = 自分\npicture=pics/own.png\nvoice=/abs/v.htsvoice\n"
        "speed=0.9\npitch=-2.5\nvolume=0.5\nfuture=ignored\n");
    f.close();
    Agent agent(fakeOptions({dir.filePath("missing-folder"), dir.path()}));
    ASSERT_TRUE(agent.load("genie", "own.acs").ok());
    const CharacterProfile& p = agent.character("genie")->profile();
    EXPECT_EQ(p.name, QStringLiteral("自分"));
    EXPECT_EQ(p.picturePath, dir.filePath("pics/own.png"));
    EXPECT_EQ(p.voice.voicePath, "/abs/v.htsvoice");
    EXPECT_DOUBLE_EQ(p.voice.speed, 0.9);
    EXPECT_DOUBLE_EQ(p.voice.pitch, -2.5);
    EXPECT_DOUBLE_EQ(p.voice.volume, 0.5);
    // A picture that is not there: a drawn stand-in, no crash.
    agent.character("genie")->show();
    EXPECT_FALSE(agent.character("genie")->window()->hasPicture());
    agent.character("genie")->window()->grab();
}

TEST(CharacterFiles, BadFilesGiveAReasonNotACrash) {
    QTemporaryDir dir;
    auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write("binary.acs", QByteArray("\x89PNG\0\0\0junk", 11));
    write("noname.acs", "picture=x.png\n");
    write("badspeed.acs", "name=X\nspeed=fast\n");
    write("garbage.acs", "this is not ours\n");
    QDir(dir.path()).mkdir("folder.acs");
    QFile::copy(shippedCharacters() + "/genie.acs", dir.filePath("good.acs"));
    chmod(QFile::encodeName(dir.filePath("good.acs")).constData(), 0);  // root still reads

    Agent agent(fakeOptions({dir.path()}));
    for (const char* file : {"missing.acs", "", "binary.acs", "noname.acs", "badspeed.acs",
                             "garbage.acs", "folder.acs", "../x/genie.acs"}) {
        SCOPED_TRACE(file);
        const auto loaded = agent.load("genie", QString::fromLatin1(file));
        ASSERT_FALSE(loaded.ok());
        EXPECT_TRUE(loaded.failure().reason.startsWith(QStringLiteral("キャラクターファイル")))
            << loaded.failure().reason.toStdString();
        EXPECT_EQ(agent.character("genie"), nullptr);
    }
}

TEST(CharacterWindow, NeverTakesTheFocusAndFollowsShowHideMoveTo) {
    QLineEdit mainWindow;
    mainWindow.show();
    QApplication::setActiveWindow(&mainWindow);
    mainWindow.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainWindow.hasFocus(); }, 2000));

    Agent agent(fakeOptions({shippedCharacters()}));
    ASSERT_TRUE(agent.load("genie", "genie.acs").ok());
    Character* c = agent.character("genie");
    c->show();
    c->moveTo(400, 300);
    CharacterWindow* w = c->window();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(w->windowType(), Qt::Tool);
    EXPECT_TRUE(w->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(w->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->pos(), QPoint(400, 300));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), &mainWindow);

    c->hide();
    EXPECT_FALSE(w->isVisible());
    c->hide();  // hiding a hidden character changes nothing
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(c->isVisible());
    c->show();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->pos(), QPoint(400, 300));
}

// Hide waits for the texts and clips queued before it; a stop lets it act at once.
TEST(CharacterWindow, BalloonShowsTheSpokenTextAndHideWaitsForIt) {
    auto gate = std::make_shared<PacedSink>();
    Agent agent(fakeOptions({shippedCharacters()}, gate));
    ASSERT_TRUE(agent.load("genie", "genie.acs").ok());
    Character* c = agent.character("genie");
    c->show();
    CharacterWindow* w = c->window();
    c->speak(QStringLiteral("録音を始めます"));
    c->playTone(1000, 200);
    c->hide();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return w->balloonText() == QStringLiteral("録音を始めます"); }));
    EXPECT_TRUE(w->isVisible()) << "hidden before its text was spoken";
    gate->allow(1);  // the text, not the beep
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate->played().size() == 2; }));
    QCoreApplication::processEvents();  // the text's end and the beep's start
    EXPECT_TRUE(w->balloonText().isEmpty());
    EXPECT_TRUE(w->isVisible()) << "hidden before the beep was heard";
    gate->allow(1);
    ASSERT_TRUE(agent.waitUntilIdle(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->isVisible(); }));

    // Stopped: the Hide waiting for the dropped texts acts at once.
    c->show();
    for (int i = 0; i < 20; ++i) {
        c->speak(QStringLiteral("本文の%1文目です").arg(i));
    }
    c->playTone(440, 1000);
    c->hide();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w->balloonText().isEmpty(); }));
    c->stop();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->balloonText().isEmpty());
    EXPECT_TRUE(agent.waitUntilIdle(0));

    // What is said after a stop is heard and shown as usual.
    c->show();
    c->speak(QStringLiteral("次のメール"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->balloonText() == QStringLiteral("次のメール"); }));
    gate->allow(1 << 20);
    EXPECT_TRUE(agent.waitUntilIdle(10000));
}
