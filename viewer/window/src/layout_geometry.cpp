#include "tw/window/layout_geometry.hpp"

namespace tw::window {
namespace {

// Limits of the splitter position after a drop, and of the bar while it is dragged.
constexpr float kSplitterMargin = 1500;
constexpr float kDragMargin = 500;
// Gaps around the lower tab strip and the trace display.
constexpr float kEdge = 20;
// Margin around the controls inside the lower tab strip.
constexpr float kPaneMargin = 40;
// Room a list leaves for its vertical scroll bar when its last column is widened.
constexpr float kScratchScrollRoom = 360;
constexpr float kWatchLastColumnRoom = 240;
constexpr float kWatchListTop = 405;

// Trace area margins.
constexpr float kTabViewerBottom = 60;
constexpr float kTreeSide = 90;
constexpr float kTreeBottomAndTop = 540;

}  // namespace

void SetWidth(TwipRect& rect, float width) {
    if (width >= 0) rect.width = width;
}

void SetHeight(TwipRect& rect, float height) {
    if (height >= 0) rect.height = height;
}

OuterSize MinimumSizeRule(OuterSize outer) {
    if (outer.width < kMinWindowWidth) outer.width = kJumpSize;
    if (outer.height < kMinWindowHeight) outer.height = kJumpSize;
    return outer;
}

MainWindowGeometry::MainWindowGeometry() {
    scaleWidth = 9120;
    scaleHeight = 6885;
    width = scaleWidth + 120;
    height = scaleHeight + 690;
    picViewer = {0, 420, 9100, 3480};
    imgSplitterH = {0, 3900, 9120, 150};
    picSplitterH = {0, 3900, 9120, 75};
    tabWindows = {20, 3975, 9080, 2510};
    sbrStatus = {0, 6510, 9120, 375};
    tvwAutos = {40, 405, 9000, 2065};
    lvwScratch = {40, 405, 9000, 2065};
    scratchColumns = {1279, 7361};
    tvwWatch = {40, 405, 2500, 2065};
    lvwWatch = {2580, 405, 6460, 2065};
    watchColumns = {1615, 1615, 1615, 1375};
    tabViewer = {0, 0, 9100, 3420};
    traceTree = {90, 90, 8920, 2940};
}

void MainWindowGeometry::SizeControlsH(float y) {
    if (y < kSplitterMargin) y = kSplitterMargin;
    if (y > height - kSplitterMargin) y = height - kSplitterMargin;

    imgSplitterH.top = y;
    picSplitterH.top = y;
    SetWidth(imgSplitterH, scaleWidth);
    SetWidth(picSplitterH, scaleWidth);

    SetHeight(picViewer, picSplitterH.top - picViewer.top);
    picViewer.left = 0;
    SetWidth(picViewer, scaleWidth - kEdge);

    tabWindows.top = picSplitterH.top + picSplitterH.height;
    tabWindows.left = kEdge;
    SetWidth(tabWindows, scaleWidth - 2 * kEdge);
    SetHeight(tabWindows, scaleHeight - tabWindows.top - sbrStatus.height - kEdge);

    SizeTabPanes();

    sbrStatus.top = scaleHeight - sbrStatus.height;
}

void MainWindowGeometry::SizeTabPanes() {
    switch (currentPage) {
    case 0:
        SetHeight(tvwAutos, tabWindows.height - tvwAutos.top - kPaneMargin);
        SetWidth(tvwAutos, tabWindows.width - tvwAutos.left - kPaneMargin);
        break;
    case 1:
        SetHeight(lvwScratch, tabWindows.height - lvwScratch.top - kPaneMargin);
        SetWidth(lvwScratch, tabWindows.width - lvwScratch.left - kPaneMargin);
        scratchColumns[1] = lvwScratch.width - scratchColumns[0] - kScratchScrollRoom;
        break;
    case 2:
        SetHeight(tvwWatch, tabWindows.height - tvwWatch.top - kPaneMargin);
        lvwWatch.top = kWatchListTop;
        lvwWatch.left = tvwWatch.width + tvwWatch.left + kPaneMargin;
        SetWidth(lvwWatch, tabWindows.width - lvwWatch.left - kPaneMargin);
        SetHeight(lvwWatch, tvwWatch.height);
        watchColumns[0] = lvwWatch.width * 0.25f;
        watchColumns[1] = watchColumns[0];
        watchColumns[2] = watchColumns[0];
        watchColumns[3] = watchColumns[0] - kWatchLastColumnRoom;
        break;
    default:
        break;
    }
}

void MainWindowGeometry::SplitterPress() {
    picSplitterH.left = imgSplitterH.left;
    picSplitterH.top = imgSplitterH.top;
    picSplitterH.width = imgSplitterH.width;
    picSplitterH.height = imgSplitterH.height / 2;
    picSplitterVisible = true;
    m_moving = true;
}

void MainWindowGeometry::SplitterMove(float offsetY) {
    if (!m_moving) return;
    const float wanted = imgSplitterH.top + offsetY;
    const float lowest = scaleHeight - kDragMargin - sbrStatus.height;
    if (wanted < kDragMargin) {
        picSplitterH.top = kDragMargin;
    } else if (wanted > lowest) {
        picSplitterH.top = lowest;
    } else {
        picSplitterH.top = wanted;
    }
}

void MainWindowGeometry::SplitterRelease() {
    SizeControlsH(picSplitterH.top);
    picSplitterVisible = false;
    m_moving = false;
}

void MainWindowGeometry::SizeTraceArea(float w, float h) {
    SetWidth(tabViewer, w);
    SetHeight(tabViewer, h - kTabViewerBottom);
    SetWidth(traceTree, w - 2 * kTreeSide);
    SetHeight(traceTree, h - kTreeBottomAndTop);
}

}  // namespace tw::window
