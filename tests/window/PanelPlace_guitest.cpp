// Where the Look panel opens, worked out from rectangles alone.
#include "window/PanelPlace.h"

#include <gtest/gtest.h>

namespace {

// A 1280 x 1024 screen, a 900 x 650 window in its middle, the controls on
// its left and a 300 x 300 view in the middle of the rest.
PanelSurroundings DefaultWindow()
{
    PanelSurroundings a;
    a.Screen = QRect(0, 0, 1280, 1024);
    a.Window = QRect(190, 187, 900, 650);
    a.Controls = QRect(192, 210, 290, 600);
    a.View = QRect(635, 300, 300, 300);
    return a;
}

TEST(PanelPlace, OpensRightOfTheViewWhereThereIsRoom)
{
    PanelSurroundings a = DefaultWindow();
    EXPECT_EQ(PlaceBesideView(QSize(120, 150), a), QPoint(941, 300));
    // Past the window's edge where the screen has room.
    EXPECT_EQ(PlaceBesideView(QSize(300, 150), a), QPoint(941, 300));
    // Too wide for the right of the screen: kept on it, it would cover the
    // view; left of the window it would cover the controls; below the view it covers neither.
    EXPECT_EQ(PlaceBesideView(QSize(400, 150), a), QPoint(635, 606));
}

TEST(PanelPlace, UsesTheLeftOrBelowWhenTheRightIsFull)
{
    PanelSurroundings a = DefaultWindow();
    a.Window.moveRight(1279); // the window at the screen's right edge
    a.View = QRect(900, 300, 370, 300);
    a.Controls = QRect(a.Window.left() + 2, 210, 290, 600);
    const QPoint left = PlaceBesideView(QSize(250, 150), a);
    EXPECT_EQ(left, QPoint(a.Window.left() - 6 - 250, 300));

    // No room at either side: below the view.
    a.Window = a.Screen;
    a.Controls = QRect(0, 0, 300, 1024);
    a.View = QRect(300, 100, 980, 500);
    EXPECT_EQ(PlaceBesideView(QSize(250, 150), a), QPoint(300, 606));
}

TEST(PanelPlace, NeverLeavesTheScreenAndCoversTheViewLeastWhenItMust)
{
    PanelSurroundings a;
    a.Screen = QRect(0, 0, 800, 600);
    a.Window = a.Screen;
    a.Controls = QRect(0, 0, 200, 600);
    a.View = QRect(200, 0, 600, 600); // the view fills all but the controls
    const QSize frame(250, 150);
    const QPoint p = PlaceBesideView(frame, a);
    EXPECT_TRUE(a.Screen.contains(QRect(p, frame)));
    // Over the view at its least: every place covers it, none covers less.
    EXPECT_EQ(QRect(p, frame).intersected(a.View).width() * 150, 50 * 150);
}

} // namespace
