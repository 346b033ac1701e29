#include "tw/display/viewer.hpp"

#include "tw/display/trace_view.hpp"

#include <QApplication>
#include <QTabWidget>
#include <QAbstractScrollArea>
#include <gtest/gtest.h>

namespace tw::viewer {

namespace {

TEST(Viewer, PagesAndTrees) {
    QWidget host;
    Viewer viewer(&host);
    QTabWidget* tabs = host.findChild<QTabWidget*>(QStringLiteral("tabViewer"));
    ASSERT_NE(tabs, nullptr);
    EXPECT_EQ(tabs->count(), 5);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Default"));
    EXPECT_EQ(tabs->tabPosition(), QTabWidget::South);
    EXPECT_NE(host.findChild<QAbstractScrollArea*>(QStringLiteral("tvwViewer")), nullptr);
    EXPECT_EQ(host.findChildren<QAbstractScrollArea*>(QStringLiteral("tvwFilter")).size(), 4);
    for (int k = 1; k <= 4; ++k) EXPECT_FALSE(tabs->isTabVisible(k));
    EXPECT_EQ(&viewer.GetCurrent(), &viewer.GetDefault());

    // Pages 1 and 3 open, 2 and 4 free: Add opens page 2.
    EXPECT_EQ(viewer.Add(QStringLiteral("one")), &viewer.Tree(1));
    EXPECT_EQ(viewer.Add(QStringLiteral("two")), &viewer.Tree(2));
    EXPECT_EQ(viewer.Add(QStringLiteral("three")), &viewer.Tree(3));
    tabs->setCurrentIndex(2);
    viewer.RemoveCurrent();
    EXPECT_FALSE(tabs->isTabVisible(2));
    EXPECT_NE(tabs->currentIndex(), 2);
    EXPECT_TRUE(viewer.CanAdd());
    EXPECT_EQ(viewer.Add(QStringLiteral("again")), &viewer.Tree(2));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("again"));
    EXPECT_EQ(&viewer.GetCurrent(), &viewer.Tree(2));
    EXPECT_EQ(viewer.Add(QStringLiteral("four")), &viewer.Tree(4));
    EXPECT_FALSE(viewer.CanAdd());
    tabs->setCurrentIndex(3);
    EXPECT_EQ(viewer.Add(QStringLiteral("five")), nullptr);
    EXPECT_EQ(tabs->currentIndex(), 3);
    EXPECT_EQ(&viewer.GetCurrent(), &viewer.Tree(3));

    // RemoveCurrent on the default page changes nothing; RemoveAll empties the filters.
    viewer.Tree(3).Append(0, MessageSink::CreateEx(0, 0, u"f"), 0);
    viewer.GetDefault().Append(0, MessageSink::CreateEx(0, 0, u"d"), 0);
    tabs->setCurrentIndex(0);
    viewer.RemoveCurrent();
    EXPECT_TRUE(tabs->isTabVisible(0));
    viewer.RemoveAll();
    for (int k = 1; k <= 4; ++k) EXPECT_FALSE(tabs->isTabVisible(k));
    EXPECT_EQ(viewer.Tree(3).Count(), 0);
    EXPECT_EQ(viewer.GetDefault().Count(), 1);
}

TEST(Viewer, SelectingALineInTheTreeSelectsItInTheView) {
    QWidget host;
    Viewer viewer(&host);
    TraceTree& t = viewer.GetDefault();
    t.Append(0, MessageSink::CreateEx(6, 0, u"E"), 0);
    t.Append(1, MessageSink::CreateEx(0, 0, u"M"), 0);
    t.SetExpanded(1, false);
    t.Select(2);
    TraceView* view = viewer.View(0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->CurrentLine(), 2);
    EXPECT_EQ(view->Rows().RowOf(2), 1);
    // The user's choice goes back into the tree.
    view->SetCurrentLine(1);
    EXPECT_EQ(t.Selected(), 1);
    view->SetExpanded(1, false);
    EXPECT_FALSE(t.IsExpanded(1));
}

TEST(Viewer, DestroyingTheHostFirstIsSafe) {
    auto* host = new QWidget;
    Viewer viewer(host);
    viewer.GetDefault().Append(0, MessageSink::CreateEx(0, 0, u"x"), 0);
    delete host;
    EXPECT_EQ(viewer.TabWidget(), nullptr);
    EXPECT_EQ(&viewer.GetCurrent(), &viewer.GetDefault());
    viewer.GetDefault().Append(0, MessageSink::CreateEx(0, 0, u"y"), 0);
}

}  // namespace
}  // namespace tw::viewer

namespace tw::viewer {
namespace {

TEST(Viewer, TheDeepestTraceIsShownAndSelectable) {
    Viewer viewer;
    for (int i = 0; i <= TraceTree::kMaxLevel; ++i)
        viewer.GetDefault().Append(i, MessageSink::CreateEx(6, i, u"E"), 0);
    viewer.TabWidget()->resize(400, 300);
    viewer.TabWidget()->show();
    viewer.GetDefault().Select(viewer.GetDefault().Count());
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.View(0)->Rows().RowOf(viewer.GetDefault().Count()), TraceTree::kMaxLevel);
    EXPECT_TRUE(viewer.View(0)->LineRect(viewer.GetDefault().Count()).intersects(viewer.View(0)->viewport()->rect()));
    viewer.TabWidget()->hide();
}

}  // namespace
}  // namespace tw::viewer
