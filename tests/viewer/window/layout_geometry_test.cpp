// The window geometry in twips: minimum-size rule, splitter clamps and drag, lower panes and
// the trace area, without widgets.

#include "tw/window/layout_geometry.hpp"

#include <gtest/gtest.h>

namespace tw::window {
namespace {

// A window of 9240 x 8000 outside, 9120 x 7300 inside, a 375 high status bar below a toolbar.
MainWindowGeometry Window(float outerHeight = 8000, float scaleHeight = 7300) {
    MainWindowGeometry g;
    g.width = 9240;
    g.height = outerHeight;
    g.scaleWidth = 9120;
    g.scaleHeight = scaleHeight;
    g.picViewer.top = 420;
    g.sbrStatus.height = 375;
    return g;
}

TEST(MinimumSizeRule, TooSmallDimensionJumpsToEightThousandNotToTheMinimum) {
    EXPECT_EQ(MinimumSizeRule({2999, 6000}), (OuterSize{8000, 6000}));
    EXPECT_EQ(MinimumSizeRule({5000, 3999}), (OuterSize{5000, 8000}));
    EXPECT_EQ(MinimumSizeRule({100, 100}), (OuterSize{8000, 8000}));
    EXPECT_EQ(MinimumSizeRule({3000, 4000}), (OuterSize{3000, 4000}));
}

TEST(SizeControlsH, PlacesTheControlsAroundTheSplitter) {
    MainWindowGeometry g = Window();
    g.SizeControlsH(3000);
    EXPECT_FLOAT_EQ(g.imgSplitterH.top, 3000);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 3000);
    EXPECT_FLOAT_EQ(g.imgSplitterH.width, 9120);
    EXPECT_FLOAT_EQ(g.picSplitterH.width, 9120);
    EXPECT_FLOAT_EQ(g.picViewer.left, 0);
    EXPECT_FLOAT_EQ(g.picViewer.top, 420);  // stays below the toolbar
    EXPECT_FLOAT_EQ(g.picViewer.height, 2580);
    EXPECT_FLOAT_EQ(g.picViewer.width, 9100);
    EXPECT_FLOAT_EQ(g.tabWindows.top, 3000 + g.picSplitterH.height);
    EXPECT_FLOAT_EQ(g.tabWindows.left, 20);
    EXPECT_FLOAT_EQ(g.tabWindows.width, 9080);
    EXPECT_FLOAT_EQ(g.tabWindows.height, 7300 - g.tabWindows.top - 375 - 20);
    EXPECT_FLOAT_EQ(g.sbrStatus.top, 7300 - 375);
}

TEST(SizeControlsH, ClampsToFifteenHundredFromTopAndFromTheOuterHeight) {
    MainWindowGeometry g = Window();
    g.SizeControlsH(600);
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 1500);
    g.SizeControlsH(7000);
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 8000 - 1500);  // outer height, not the client height

    // In a window lower than 3000 the upper bound is applied last and wins.
    MainWindowGeometry low = Window(2800, 2100);
    low.SizeControlsH(600);
    EXPECT_FLOAT_EQ(low.SplitterPosition(), 1300);
}

TEST(SizeControlsH, SizesTheControlsRefuseKeepTheirLastValidValue) {
    MainWindowGeometry g = Window();
    g.SizeControlsH(3000);
    const float tabHeight = g.tabWindows.height;
    const float autosHeight = g.tvwAutos.height;
    // A client area too low for the lower tab strip: its height would be negative.
    g.height = 4000;
    g.scaleHeight = 2000;
    g.SizeControlsH(2500);
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 2500);
    EXPECT_FLOAT_EQ(g.tabWindows.height, tabHeight);
    EXPECT_FLOAT_EQ(g.tvwAutos.height, autosHeight);
    EXPECT_FLOAT_EQ(g.tabWindows.top, 2500 + g.picSplitterH.height);  // the steps after still ran
    EXPECT_FLOAT_EQ(g.sbrStatus.top, 2000 - 375);
}

TEST(SplitterDrag, DropAtSixHundredEndsAtFifteenHundred) {
    MainWindowGeometry g = Window();
    g.SizeControlsH(3900);
    EXPECT_FALSE(g.Moving());
    g.SplitterPress();
    EXPECT_TRUE(g.Moving());
    EXPECT_TRUE(g.picSplitterVisible);
    EXPECT_FLOAT_EQ(g.picSplitterH.height, g.imgSplitterH.height / 2);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 3900);

    g.SplitterMove(600 - 3900);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 600);
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 3900);  // nothing else moves during the drag
    g.SplitterMove(-3700);                         // 200 from the top: the bar stops at 500
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 500);
    g.SplitterMove(600 - 3900);
    g.SplitterRelease();
    EXPECT_FALSE(g.Moving());
    EXPECT_FALSE(g.picSplitterVisible);
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 1500);
}

TEST(SplitterDrag, BarStopsAboveTheStatusBarAndMovesWithoutPressDoNothing) {
    MainWindowGeometry g = Window();
    g.SizeControlsH(3900);
    g.SplitterMove(100);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 3900);

    g.SplitterPress();
    g.SplitterMove(9000);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 7300 - 500 - 375);
    g.SplitterRelease();
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 6425);
    g.SplitterMove(-1000);
    EXPECT_FLOAT_EQ(g.picSplitterH.top, 6425);
}

TEST(SplitterDrag, LowerWindowPullsTheSplitterUpOnTheNextLayout) {
    MainWindowGeometry g = Window(10000, 9300);
    g.SizeControlsH(3900);
    g.SplitterPress();
    g.SplitterMove(8000 - 3900);
    g.SplitterRelease();
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 8000);

    g.height = 6000;
    g.scaleHeight = 5300;
    g.SizeControlsH(g.SplitterPosition());
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 4500);
    // Made higher again, the splitter stays where it was pulled.
    g.height = 10000;
    g.scaleHeight = 9300;
    g.SizeControlsH(g.SplitterPosition());
    EXPECT_FLOAT_EQ(g.SplitterPosition(), 4500);
}

TEST(SizeTabPanes, FitsOnlyTheCurrentPage) {
    MainWindowGeometry g = Window();
    g.currentPage = 2;
    g.SizeControlsH(3000);
    EXPECT_FLOAT_EQ(g.tvwWatch.height, g.tabWindows.height - g.tvwWatch.top - 40);
    EXPECT_FLOAT_EQ(g.tvwWatch.width, 2500);  // as designed
    EXPECT_FLOAT_EQ(g.lvwWatch.top, 405);
    EXPECT_FLOAT_EQ(g.lvwWatch.left, g.tvwWatch.left + 2500 + 40);
    EXPECT_FLOAT_EQ(g.lvwWatch.width, g.tabWindows.width - g.lvwWatch.left - 40);
    EXPECT_FLOAT_EQ(g.lvwWatch.height, g.tvwWatch.height);
    const float quarter = g.lvwWatch.width * 0.25f;
    EXPECT_FLOAT_EQ(g.watchColumns[0], quarter);
    EXPECT_FLOAT_EQ(g.watchColumns[1], quarter);
    EXPECT_FLOAT_EQ(g.watchColumns[2], quarter);
    EXPECT_FLOAT_EQ(g.watchColumns[3], quarter - 240);

    // Back on "Autos" after the window changed: only the autos tree is refitted.
    const MainWindowGeometry before = g;
    g.scaleWidth = 7000;
    g.currentPage = 0;
    g.SizeControlsH(3000);
    EXPECT_FLOAT_EQ(g.tvwAutos.width, g.tabWindows.width - g.tvwAutos.left - 40);
    EXPECT_FLOAT_EQ(g.tvwAutos.height, g.tabWindows.height - g.tvwAutos.top - 40);
    EXPECT_FLOAT_EQ(g.lvwWatch.width, before.lvwWatch.width);
    EXPECT_EQ(g.watchColumns, before.watchColumns);
    EXPECT_FLOAT_EQ(g.lvwScratch.width, before.lvwScratch.width);

    g.currentPage = 1;
    g.scratchColumns[0] = 1000;
    g.SizeTabPanes();
    EXPECT_FLOAT_EQ(g.scratchColumns[1], g.lvwScratch.width - 1000 - 360);

    g.currentPage = 5;  // no such page: nothing happens
    const MainWindowGeometry same = g;
    g.SizeTabPanes();
    EXPECT_FLOAT_EQ(g.lvwScratch.height, same.lvwScratch.height);
}

TEST(SizeTraceArea, TreesKeepTheirLastValidSizeInATinyArea) {
    MainWindowGeometry g;
    g.SizeTraceArea(6000, 3000);
    EXPECT_FLOAT_EQ(g.tabViewer.width, 6000);
    EXPECT_FLOAT_EQ(g.tabViewer.height, 2940);
    EXPECT_FLOAT_EQ(g.traceTree.width, 5820);
    EXPECT_FLOAT_EQ(g.traceTree.height, 2460);
    EXPECT_FLOAT_EQ(g.traceTree.left, 90);
    EXPECT_FLOAT_EQ(g.traceTree.top, 90);

    g.SizeTraceArea(5000, 500);
    EXPECT_FLOAT_EQ(g.tabViewer.height, 440);
    EXPECT_FLOAT_EQ(g.traceTree.width, 4820);
    EXPECT_FLOAT_EQ(g.traceTree.height, 2460);
    g.SizeTraceArea(100, 40);
    EXPECT_FLOAT_EQ(g.tabViewer.width, 100);
    EXPECT_FLOAT_EQ(g.tabViewer.height, 440);
    EXPECT_FLOAT_EQ(g.traceTree.width, 4820);
}

}  // namespace
}  // namespace tw::window
