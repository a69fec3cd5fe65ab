#include "tray.h"

#include "announcer.h"
#include "checker_test_support.h"

#include <QAction>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

using namespace orvane::mailcheck;

namespace {

class TrayTest : public ::testing::Test {
  protected:
    QAction* item(const char* name) { return tray.menupopup().findChild<QAction*>(name); }

    test::FakeNotificationArea area;
    test::RecordingVoice voice;
    Announcer announcer{voice};
    QWidget window;
    Tray tray{area, window, announcer, QIcon()};
};

TEST_F(TrayTest, TheIconsMouseMessagesAndMenu) {
    struct Row {
        const char* name;
        int message;
        bool shows;
        bool popsUp;
    } rows[] = {
        {"left_press", LeftButtonDown, true, false},
        {"left_release", LeftButtonUp, false, false},
        {"left_double_click", LeftButtonDoubleClick, true, false},
        {"right_press", RightButtonDown, false, true},
        {"right_release", RightButtonUp, false, false},
        {"right_double_click", RightButtonDoubleClick, true, false},
        {"move", MouseMove, false, false},
        {"middle_press", MiddleButtonDown, false, false},
    };
    tray.AddIcon();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        window.hide();
        tray.menupopup().hide();
        // Through the area, as the desktop delivers them.
        emit area.iconMessage(row.message, QPoint(40, 30));
        EXPECT_EQ(window.isVisible(), row.shows);
        EXPECT_EQ(tray.menupopup().isVisible(), row.popsUp);
    }
    EXPECT_EQ(area.hostIcons.size(), 1);

    ASSERT_TRUE(item("show_me") && item("close_me") && item("check_now"));
    EXPECT_EQ(item("show_me")->text(), QStringLiteral("開く"));
    EXPECT_EQ(item("close_me")->text(), QStringLiteral("閉じる"));
    EXPECT_EQ(item("check_now")->text(), QStringLiteral("今すぐチェック"));
    QSignalSpy ended(&tray, &Tray::endRequested);
    QSignalSpy checked(&tray, &Tray::checkNowRequested);
    window.hide();
    item("show_me")->trigger();
    EXPECT_TRUE(window.isVisible());
    item("check_now")->trigger();
    item("close_me")->trigger();
    EXPECT_EQ(checked.size(), 1);
    EXPECT_EQ(ended.size(), 1);
}

TEST_F(TrayTest, OneIconHowEverOftenItIsPutInOrTheHostIsRecreated) {
    window.show();
    tray.AddIcon();
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(area.hostIcons, QStringList{QStringLiteral("Orvaneメールチェッカー")});
    window.show();
    tray.AddIcon();  // Ctrl+T while the icon is there
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(area.hostIcons.size(), 1);

    area.recreateHost();
    EXPECT_EQ(area.hostIcons.size(), 1);
    area.recreateHost();
    EXPECT_EQ(area.hostIcons.size(), 1);
    EXPECT_TRUE(voice.spoken().isEmpty());

    tray.DeleteIcon();
    EXPECT_TRUE(area.hostIcons.isEmpty());
    area.recreateHost();  // after the end nothing comes back
    EXPECT_TRUE(area.hostIcons.isEmpty());
}

TEST_F(TrayTest, WithoutANotificationAreaTheWindowStaysAndSaysWhy) {
    QSignalSpy shown(&announcer, &Announcer::shown);
    area.present = false;
    tray.AddIcon();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(voice.spoken(),
              QStringList{"通知領域がないため、メールチェックの画面を表示したままにします"});
    EXPECT_EQ(shown.size(), 1);

    // The area appears later: the icon goes in, the window stays as it is.
    area.startHost();
    EXPECT_EQ(area.hostIcons.size(), 1);
    EXPECT_TRUE(window.isVisible());

    // It goes away while the window is hidden: the window comes back.
    tray.AddIcon();
    EXPECT_FALSE(window.isVisible());
    area.removeHost();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(voice.spoken().size(), 2);
}

}  // namespace
