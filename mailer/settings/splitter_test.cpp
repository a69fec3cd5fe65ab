#include "splitter.h"

#include "agent.h"
#include "announcer.h"
#include "character.h"
#include "test_support.h"

#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::mailer;

namespace {

// The design's panes: a list of 4695 and a body of 3495 twips.
constexpr int kDesignPanes = 8190;

// The list and the body in a parent of the design's height, a splitter
// between them, and a character whose words reach a transcript.
class SplitterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QFont font = parent.font();
        font.setPixelSize(16);
        grid->setFont(font);
        body->setFont(font);
        parent.resize(640, 100);
        splitter = std::make_unique<Splitter>(grid, body, announcer);
        parent.resize(640, splitter->toPixels(kDesignPanes + Splitter::kSplitterHeight));
        parent.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

        speech::Agent::Options options;
        options.transcriptPath = dir.filePath("transcript.txt");
        agent = std::make_unique<speech::Agent>(options);
        announcer.setCharacter(agent->loadDefault("genie"));
    }

    QStringList spoken() const { return transcriptTexts(dir.filePath("transcript.txt")); }

    // Presses on imgsplitter, moves the mouse `twips` down (negative: up)
    // from there and lets go.
    void drag(int twips) {
        QWidget* img = splitter->imgsplitter();
        const QPoint start(img->width() / 2, 0);
        const QPoint end = start + QPoint(0, splitter->toPixels(twips));
        QTest::mousePress(img, Qt::LeftButton, {}, start);
        QTest::mouseMove(img, end);
        QTest::mouseRelease(img, Qt::LeftButton, {}, end);
    }

    // Heights in twips as the widgets show them.
    int shownHeight(QWidget* widget) const { return splitter->toTwips(widget->height()); }

    QTemporaryDir dir;
    QWidget parent;
    QTableWidget* grid = new QTableWidget(&parent);
    QTextEdit* body = new QTextEdit(&parent);
    QLabel status;
    QLabel guide;
    Announcer announcer{&status, &guide};
    std::unique_ptr<speech::Agent> agent;
    std::unique_ptr<Splitter> splitter;
};

}  // namespace

TEST_F(SplitterTest, StartsWithTheDesignSplitFillingTheParent) {
    EXPECT_EQ(splitter->panes_height(), kDesignPanes);
    EXPECT_EQ(splitter->gridHeight(), 4695);
    EXPECT_EQ(splitter->bodyHeight(), 3495);
    EXPECT_EQ(grid->y(), 0);
    EXPECT_EQ(splitter->imgsplitter()->y(), grid->geometry().bottom() + 1);
    EXPECT_EQ(body->y(), splitter->imgsplitter()->geometry().bottom() + 1);
    EXPECT_EQ(body->geometry().bottom() + 1, parent.height());
    EXPECT_FALSE(splitter->picsplitter()->isVisible());
}

TEST_F(SplitterTest, DraggingMovesTheSplitWithinTheLimits) {
    const int minimum = splitter->minimumHeight();
    ASSERT_GE(minimum, 2 * 200) << "two lines of a 16-pixel font";
    struct Row {
        const char* name;
        int drag;
        int expectedList;
    } rows[] = {
        {"600 down", 600, 4695 + 600},
        {"600 up", -600, 4695 - 600},
        {"ending where it began", 0, 4695},
        {"above the list's top", -(4695 + 3000), minimum},
        {"to just below the minimum", -(4695 - minimum + 15), minimum},
        {"below the body's bottom", 3495 + 3000, kDesignPanes - minimum},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        splitter->SizeControls(4695);
        drag(row.drag);
        EXPECT_EQ(splitter->gridHeight(), row.expectedList);
        EXPECT_EQ(splitter->bodyHeight(), kDesignPanes - row.expectedList);
        EXPECT_EQ(splitter->panes_height(), kDesignPanes);
        // The widgets follow: the list's top and the body's bottom stay put,
        // the body sits directly below the splitter.
        EXPECT_EQ(grid->y(), 0);
        EXPECT_NEAR(shownHeight(grid), row.expectedList, 15);
        EXPECT_EQ(splitter->imgsplitter()->y(), grid->geometry().bottom() + 1);
        EXPECT_EQ(body->y(), splitter->imgsplitter()->geometry().bottom() + 1);
        EXPECT_EQ(body->geometry().bottom() + 1, parent.height());
        EXPECT_FALSE(splitter->picsplitter()->isVisible());
        EXPECT_FALSE(splitter->splitter_moving());
    }
}

TEST_F(SplitterTest, OnlyTheBarMovesDuringADragAndMovingWithoutAButtonDoesNothing) {
    QWidget* img = splitter->imgsplitter();
    QTest::mouseMove(img, QPoint(10, splitter->toPixels(900)));
    EXPECT_FALSE(splitter->splitter_moving());
    EXPECT_FALSE(splitter->picsplitter()->isVisible());
    EXPECT_EQ(splitter->gridHeight(), 4695);

    QTest::mousePress(img, Qt::LeftButton, {}, QPoint(10, 0));
    QTest::mouseMove(img, QPoint(10, splitter->toPixels(900)));
    EXPECT_TRUE(splitter->splitter_moving());
    EXPECT_TRUE(splitter->picsplitter()->isVisible());
    EXPECT_EQ(splitter->dragTop(), 4695 + 900);
    EXPECT_EQ(splitter->picsplitter()->y(), splitter->toPixels(4695 + 900));
    EXPECT_EQ(splitter->gridHeight(), 4695);
    EXPECT_EQ(img->y(), splitter->toPixels(4695));
    QTest::mouseRelease(img, Qt::LeftButton, {}, QPoint(10, splitter->toPixels(900)));
    EXPECT_EQ(splitter->gridHeight(), 4695 + 900);
}

TEST_F(SplitterTest, KeyStepsMoveOneLineAndSayTheListsShare) {
    const int line = splitter->lineHeight();
    splitter->SizeControls(kDesignPanes / 2);
    splitter->moveByLines(+1);
    EXPECT_EQ(splitter->gridHeight(), kDesignPanes / 2 + line);
    splitter->moveByLines(-1);
    splitter->moveByLines(-1);
    EXPECT_EQ(splitter->gridHeight(), kDesignPanes / 2 - line);
    EXPECT_EQ(spoken(), (QStringList{"一覧 5割", "一覧 5割", "一覧 5割"}));

    for (int i = 0; i < 40; ++i) {
        splitter->moveByLines(+1);
    }
    EXPECT_EQ(splitter->gridHeight(), kDesignPanes - splitter->minimumHeight());
    EXPECT_EQ(spoken().last(), "一覧 9割");
    EXPECT_EQ(status.text(), "一覧 9割");
    for (int i = 0; i < 40; ++i) {
        splitter->moveByLines(-1);
    }
    EXPECT_EQ(splitter->gridHeight(), splitter->minimumHeight());
    EXPECT_EQ(spoken().last(), "一覧 1割");
}

TEST_F(SplitterTest, AResizedParentIsFilledAndTheListKeepsItsShare) {
    splitter->SizeControls(kDesignPanes / 4);
    parent.resize(640, parent.height() * 2);
    const int panes = splitter->toTwips(parent.height()) - Splitter::kSplitterHeight;
    EXPECT_EQ(splitter->panes_height(), panes);
    EXPECT_NEAR(splitter->gridHeight(), panes / 4, 15);
    EXPECT_EQ(body->geometry().bottom() + 1, parent.height());

    // Too small for two minimums: the two share what there is.
    parent.resize(640, splitter->toPixels(splitter->minimumHeight() + Splitter::kSplitterHeight));
    EXPECT_GE(splitter->gridHeight(), 0);
    EXPECT_GE(splitter->bodyHeight(), 0);
    EXPECT_NEAR(splitter->gridHeight(), splitter->bodyHeight(), 15);
}
