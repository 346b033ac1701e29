// The main window's layout on real widgets: the minimum-size jump, the splitter drag with the
// mouse, minimised windows and the lower panes.

#include "tw/window/layout.hpp"

#include "tw/common/screen_fit.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/twips.hpp"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

class WindowLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    const Controls& c() const { return form->controls(); }
    const MainWindowGeometry& g() { return form->layout().geometry(); }
    int PxX(double twips) const { return TwipsToPixelsX(twips, form.get()); }
    int PxY(double twips) const { return TwipsToPixelsY(twips, form.get()); }
    float Twips(int px) const { return float(PixelsToTwipsY(px, form.get())); }

    void ResizeTo(int w, int h) {
        form->resize(w, h);
        QApplication::processEvents();
    }

    // Mouse on the splitter's hot zone; y in pixels from its top.
    void Mouse(QEvent::Type type, int y) {
        const QPoint local(20, y);
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, c().imgSplitterH->mapToGlobal(local), button, held, Qt::NoModifier);
        QApplication::sendEvent(c().imgSplitterH, &event);
    }
    // Drags the splitter to y twips from the top of the client area, returns the bar's top
    // before the drop.
    float DragTo(float y) {
        Mouse(QEvent::MouseButtonPress, 1);
        Mouse(QEvent::MouseMove, PxY(y) - PxY(g().SplitterPosition()));
        const float barTop = g().picSplitterH.top;
        Mouse(QEvent::MouseButtonRelease, PxY(y) - PxY(g().SplitterPosition()));
        return barTop;
    }

    std::unique_ptr<FrmMain> form;
};

TEST_F(WindowLayoutTest, TooNarrowOrTooLowJumpsToEightThousandTwips) {
    // The outer size counts: the frame around the client area is part of it.
    const int frameW = form->frameGeometry().width() - form->width();
    const int frameH = form->frameGeometry().height() - form->height();
    ResizeTo(PxX(2999) - frameW - 1, 500);
    EXPECT_NEAR(form->frameGeometry().width(), PxX(8000), 1);
    EXPECT_EQ(form->height(), 500);

    ResizeTo(600, PxY(3999) - frameH - 1);
    EXPECT_EQ(form->width(), 600);
    EXPECT_NEAR(form->frameGeometry().height(), PxY(8000), 1);

    // Just large enough: nothing jumps.
    ResizeTo(PxX(3000) - frameW + 1, PxY(4000) - frameH + 1);
    EXPECT_EQ(form->width(), PxX(3000) - frameW + 1);
    EXPECT_EQ(form->height(), PxY(4000) - frameH + 1);
}

TEST_F(WindowLayoutTest, ControlsFollowTheSplitterAndTheStatusBarStaysBelow) {
    ResizeTo(700, 560);
    form->SizeControlsH(3000);
    EXPECT_FLOAT_EQ(g().SplitterPosition(), 3000);
    const QRect viewer = c().picViewer->geometry();
    const QRect lower = c().tabWindows->geometry();
    EXPECT_EQ(viewer.top(), 0);  // directly under the toolbar
    EXPECT_NEAR(viewer.bottom() + 1, c().imgSplitterH->y(), 1);
    EXPECT_NEAR(lower.top(), c().imgSplitterH->y() + PxY(g().picSplitterH.height), 1);
    EXPECT_NEAR(lower.left(), PxX(20), 1);
    EXPECT_NEAR(viewer.width(), 700 - PxX(20), 1);
    // The lower tab strip ends 20 twips above the status bar.
    const int statusTop = c().sbrStatus->mapTo(form.get(), QPoint(0, 0)).y();
    EXPECT_NEAR(c().tabWindows->mapTo(form.get(), QPoint(0, lower.height())).y(), statusTop - PxY(20), 1);
    EXPECT_EQ(c().sbrStatus->geometry().bottom(), form->height() - 1);
}

TEST_F(WindowLayoutTest, SplitterDragShowsTheBarAndDropClamps) {
    ResizeTo(700, 600);
    Mouse(QEvent::MouseButtonPress, 2);
    EXPECT_TRUE(g().Moving());
    EXPECT_TRUE(c().picSplitterH->isVisible());
    EXPECT_EQ(c().picSplitterH->height(), PxY(g().imgSplitterH.height / 2));

    // While dragging only the bar moves.
    const QRect viewerBefore = c().picViewer->geometry();
    Mouse(QEvent::MouseMove, -PxY(1000));
    EXPECT_NEAR(g().picSplitterH.top, g().SplitterPosition() - 1000, 15);
    EXPECT_NEAR(c().picSplitterH->y(), c().imgSplitterH->y() - PxY(1000), 1);
    EXPECT_EQ(c().picViewer->geometry(), viewerBefore);
    Mouse(QEvent::MouseButtonRelease, -PxY(1000));
    EXPECT_FALSE(g().Moving());
    EXPECT_FALSE(c().picSplitterH->isVisible());

    // Dropped at 600 from the top, the splitter lands at 1500.
    EXPECT_NEAR(DragTo(600), 600, 15);
    EXPECT_FLOAT_EQ(g().SplitterPosition(), 1500);
    EXPECT_NEAR(c().picViewer->geometry().bottom() + 1, c().imgSplitterH->y(), 1);

    // Dragged far below the status bar, the bar stops 500 above it.
    const float limit = g().scaleHeight - 500 - g().sbrStatus.height;
    EXPECT_FLOAT_EQ(DragTo(20000), limit);
    EXPECT_FLOAT_EQ(g().SplitterPosition(), std::min(limit, g().height - 1500));
}

TEST_F(WindowLayoutTest, LowerWindowPullsTheSplitterUp) {
    ResizeTo(700, PxY(12000));
    DragTo(9000);
    EXPECT_NEAR(g().SplitterPosition(), 9000, 15);
    ResizeTo(700, PxY(7000));
    EXPECT_FLOAT_EQ(g().SplitterPosition(), Twips(form->frameGeometry().height()) - 1500);
    // Client-area twips count from below the menu bar.
    const int menuBottom = form->menuWidget()->geometry().bottom() + 1;
    EXPECT_NEAR(c().imgSplitterH->mapTo(form.get(), QPoint(0, 0)).y() - menuBottom,
                PxY(Twips(form->frameGeometry().height()) - 1500), 1);
}

TEST_F(WindowLayoutTest, MinimisedWindowIsNotLaidOutAndRestoresWithTheSplitterKept) {
    ResizeTo(700, 600);
    form->SizeControlsH(2500);
    const QRect viewer = c().picViewer->geometry();
    form->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    ASSERT_TRUE(form->isMinimized());
    ResizeTo(800, 700);
    EXPECT_EQ(c().picViewer->geometry(), viewer);

    form->setWindowState(Qt::WindowNoState);
    QApplication::processEvents();
    EXPECT_FLOAT_EQ(g().SplitterPosition(), 2500);
    EXPECT_EQ(c().picViewer->width(), 800 - PxX(20));
}

TEST_F(WindowLayoutTest, SwitchingPagesRefitsThePageShown) {
    ResizeTo(700, 600);
    c().tabWindows->setCurrentIndex(2);
    const QRect list = c().lvwWatch->geometry();
    const QRect tree = c().tvwWatch->geometry();
    EXPECT_EQ(tree.width(), PxX(2500));
    EXPECT_NEAR(list.left(), tree.right() + 1 + PxX(40), 1);
    EXPECT_EQ(list.height(), tree.height());
    const int quarter = PxX(g().lvwWatch.width * 0.25f);
    EXPECT_EQ(c().lvwWatch->header()->sectionSize(0), quarter);
    EXPECT_EQ(c().lvwWatch->header()->sectionSize(2), quarter);
    EXPECT_EQ(c().lvwWatch->header()->sectionSize(3), PxX(g().lvwWatch.width * 0.25f - 240));

    // Resized while "Autos" is shown, the watch page keeps its size until it is shown again.
    c().tabWindows->setCurrentIndex(0);
    ResizeTo(900, 600);
    EXPECT_EQ(c().lvwWatch->geometry().width(), list.width());
    EXPECT_NEAR(c().tvwAutos->geometry().right(), c().tabWindows->currentWidget()->width(), PxX(40) + 2);
    c().tabWindows->setCurrentIndex(2);
    EXPECT_EQ(c().lvwWatch->geometry().width(), list.width() + 200);

    c().tabWindows->setCurrentIndex(1);
    const QHeaderView* header = c().lvwScratch->header();
    EXPECT_NEAR(header->sectionSize(1), c().lvwScratch->width() - header->sectionSize(0) - PxX(360), 2);
}

TEST_F(WindowLayoutTest, TraceAreaFillsPicViewerWithTheTreesInsideTheMargins) {
    ResizeTo(800, 640);
    auto* tabViewer = c().picViewer->findChild<QTabWidget*>("tabViewer");
    ASSERT_NE(tabViewer, nullptr);
    const auto* tree = tabViewer->findChild<QAbstractScrollArea*>("tvwViewer");
    ASSERT_NE(tree, nullptr);
    const QSize area = c().picViewer->size();
    EXPECT_EQ(tabViewer->geometry(), QRect(0, 0, area.width(), PxY(Twips(area.height()) - 60)));
    const QRect inTabs(tree->mapTo(tabViewer, QPoint(0, 0)), tree->size());
    EXPECT_NEAR(inTabs.left(), PxX(90), 1);
    EXPECT_NEAR(inTabs.top(), PxY(90), 1);
    EXPECT_NEAR(inTabs.width(), area.width() - PxX(180), 1);
    EXPECT_NEAR(inTabs.height(), area.height() - PxY(540), 1);
    // Filter trees are sized alike while their pages are hidden.
    for (QAbstractScrollArea* filter : tabViewer->findChildren<QAbstractScrollArea*>("tvwFilter"))
        EXPECT_EQ(filter->size(), tree->size());

    // Dragging the splitter changes picViewer and with it the trace area.
    form->SizeControlsH(2000);
    EXPECT_NEAR(tree->height(), c().picViewer->height() - PxY(540), 1);
}

// As designed, a taller window gives its new height to the lower pages; with Trace Takes New
// Height on, to the trace.
TEST_F(WindowLayoutTest, TheTraceCanTakeNewHeight) {
    ResizeTo(700, PxY(6000));
    QAction* option = form->commands().Action(QStringLiteral("mnuOptionsTraceTakesHeight"));
    ASSERT_NE(option, nullptr);
    ASSERT_FALSE(option->isChecked());
    const int lowerBefore = c().tabWindows->height();
    ResizeTo(700, PxY(9000));
    EXPECT_GT(c().tabWindows->height(), lowerBefore + PxY(2000));  // as designed: the lower pages grow

    option->trigger();
    const int lower = c().tabWindows->height();
    const int trace = c().picViewer->height();
    ResizeTo(700, PxY(12000));
    EXPECT_NEAR(c().tabWindows->height(), lower, 2);
    EXPECT_NEAR(c().picViewer->height(), trace + PxY(3000), 3);
    option->trigger();
}

// The first window takes two thirds of the screen, centred, and fits on it.
TEST_F(WindowLayoutTest, FirstWindowTakesTwoThirdsOfTheScreenCentred) {
    FitOnScreen(*form, 2.0 / 3.0);
    const QRect area = form->screen()->availableGeometry();
    EXPECT_GE(form->frameGeometry().width(), area.width() * 2 / 3 - 2);
    EXPECT_GE(form->frameGeometry().height(), area.height() * 2 / 3 - 2);
    EXPECT_TRUE(area.contains(form->frameGeometry())) << form->frameGeometry().width() << "x" << form->frameGeometry().height();
    EXPECT_NEAR(form->frameGeometry().center().x(), area.center().x(), 2);
}

}  // namespace
}  // namespace tw::window
