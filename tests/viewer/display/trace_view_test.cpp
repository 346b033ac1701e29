#include "tw/display/trace_view.hpp"

#include "tw/core/overview_buckets.hpp"
#include "tw/display/bookmark.hpp"
#include "tw/display/overview_strip.hpp"
#include "tw/display/viewer_images.hpp"

#include <QAccessible>
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

MessageRef Msg(const QString& text, qint16 type = 0, qint32 record = 0) {
    return MessageSink::CreateEx(type, record, text);
}

TEST(ViewerImages, FourteenPictures) {
    EXPECT_TRUE(ViewerImage(0).isNull());
    EXPECT_TRUE(ViewerImage(1).isNull());
    for (int i = 2; i <= kViewerImageCount; ++i) {
        const QImage img = ViewerPixmap(i).toImage();
        EXPECT_EQ(img.size(), QSize(16, 16));
        int painted = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) painted += qAlpha(img.pixel(x, y)) > 0;
        EXPECT_GT(painted, 10) << i;
        EXPECT_LT(painted, 256) << i;  // transparent background somewhere
        // Sharp when the screen scales: a picture drawn for twice the pixels.
        EXPECT_EQ(ViewerImage(i).pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32)) << i;
    }
}

// The rows the view shows, as the tree says they should be.
std::vector<int> Flatten(const TraceTree& tree) {
    std::vector<int> rows;
    for (int line = 1; line <= tree.Count();) {
        rows.push_back(line);
        line = tree.IsExpanded(line) ? line + 1 : tree.LastInSubtree(line) + 1;
    }
    return rows;
}

class View : public ::testing::Test {
  protected:
    void SetUp() override {
        view.resize(400, 200);
        view.show();
    }
    // enter(1) > [a(2), inner(3) > [b(4), c(5)]], after(6)
    void Nest() {
        tree.Append(0, Msg("enter", 6), 0);
        tree.Append(1, Msg("a"), 0);
        tree.Append(1, Msg("inner", 6), 0);
        tree.Append(3, Msg("b"), 0);
        tree.Append(3, Msg("c"), 0);
        tree.Append(0, Msg("after"), 0);
        tree.SetExpanded(1, true);
        tree.SetExpanded(3, true);
        view.Refresh();
    }
    void Key(int key) { QTest::keyClick(&view, Qt::Key(key)); }
    QPoint RowPoint(int line) {
        const QRect r = view.LineRect(line);
        return {r.width() - 20, r.center().y()};
    }

    TraceTree tree;
    TraceView view{tree};
};

// Appends, removals, expansion by line and in bulk and clears in random order: the view's rows
// stay what the tree says, and its scroll range fits them.
TEST_F(View, RowsFollowTheTreeThroughRandomEdits) {
    std::srand(5);
    for (int step = 0; step < 3000; ++step) {
        const int r = std::rand() % 100;
        if (r < 70 || tree.IsEmpty()) {
            int p = tree.Count();
            for (int up = std::rand() % 3; up > 0 && p; --up) p = tree.Parent(p);
            if (p && tree.Level(p) >= TraceTree::kMaxLevel) p = tree.Parent(p);
            const int line = tree.Append(p, Msg(QString::number(step), qint16(std::rand() % 10)), 0);
            if (std::rand() % 2) tree.SetExpanded(line, true);
        } else if (r < 85) {
            view.SetExpanded(1 + std::rand() % tree.Count(), std::rand() % 2 == 0);
        } else if (r < 90) {
            tree.RemoveSubtree(1 + std::rand() % tree.Count());
        } else if (r < 93) {
            if (std::rand() % 2)
                view.ExpandAll();
            else
                view.CollapseAll();
        } else if (r < 94) {
            tree.Clear();
        } else {
            view.Refresh();
            const std::vector<int> expected = Flatten(tree);
            ASSERT_EQ(view.Rows().Count(), int(expected.size())) << step;
            for (std::size_t row = 0; row < expected.size(); ++row)
                ASSERT_EQ(view.Rows().LineAt(int(row)), expected[row]) << step;
            EXPECT_EQ(view.verticalScrollBar()->maximum(),
                      std::max(0, int(expected.size()) - view.RowsInSight()));
        }
    }
}

TEST_F(View, KeysMoveFoldAndOpenAsInATree) {
    Nest();
    Key(Qt::Key_End);  // no current line: End goes to the last line, not the first
    EXPECT_EQ(tree.Selected(), 6);
    Key(Qt::Key_Up);
    EXPECT_EQ(tree.Selected(), 5);
    Key(Qt::Key_Left);  // a leaf: to its parent
    EXPECT_EQ(tree.Selected(), 3);
    Key(Qt::Key_Left);  // open: closes
    EXPECT_FALSE(tree.IsExpanded(3));
    Key(Qt::Key_Down);
    EXPECT_EQ(tree.Selected(), 6);  // the closed lines are passed over
    Key(Qt::Key_Home);
    EXPECT_EQ(tree.Selected(), 1);
    Key(Qt::Key_Minus);
    EXPECT_EQ(view.Rows().Count(), 2);
    Key(Qt::Key_Plus);
    Key(Qt::Key_Right);  // open: to the first child
    EXPECT_EQ(tree.Selected(), 2);
    Key(Qt::Key_Home);
    Key(Qt::Key_Asterisk);  // the line and everything under it
    EXPECT_TRUE(tree.IsExpanded(3));
    EXPECT_EQ(view.Rows().Count(), 6);
    QSignalSpy activated(&view, &TraceView::lineActivated);
    Key(Qt::Key_Return);
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 1);
    // Collapsing above the current line hands the selection to the collapsed line.
    tree.Select(4);
    view.CollapseAll();
    EXPECT_EQ(tree.Selected(), 1);
    EXPECT_EQ(view.Rows().Count(), 2);
}

TEST_F(View, MouseSelectsFoldsActivatesAndAsksForTheMenu) {
    Nest();
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, RowPoint(2));
    EXPECT_EQ(tree.Selected(), 2);
    // The box beside a line with children folds it and leaves the selection.
    const int pictureLeft = view.TextLeft(3) - 4 - 16;
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {},
                      QPoint(pictureLeft - 8, view.LineRect(3).center().y()));
    EXPECT_FALSE(tree.IsExpanded(3));
    EXPECT_EQ(tree.Selected(), 2);
    QSignalSpy activated(&view, &TraceView::lineActivated);
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, RowPoint(6));
    ASSERT_EQ(activated.count(), 1);
    EXPECT_EQ(activated[0][0].toInt(), 6);
    QSignalSpy menu(&view, &TraceView::searchMenuRequested);
    QTest::mousePress(view.viewport(), Qt::RightButton, {}, RowPoint(1));
    EXPECT_EQ(menu.count(), 0);  // on release by default
    QTest::mouseRelease(view.viewport(), Qt::RightButton, {}, RowPoint(1));
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(tree.Selected(), 1);
}

TEST_F(View, FollowingKeepsTheLastRowInSightUntilTheUserScrollsUp) {
    view.resize(400, 120);
    for (int i = 0; i < 200; ++i) tree.Append(0, Msg(QString::number(i)), 0);
    view.Refresh();
    EXPECT_TRUE(view.IsAtBottom());
    // A wide line brings the horizontal scroll bar; the last row stays above it.
    tree.Append(0, Msg(QString(600, QLatin1Char('w'))), 0);
    view.Refresh();
    QApplication::processEvents();  // painted, and so measured
    view.Refresh();
    QApplication::processEvents();
    EXPECT_TRUE(view.horizontalScrollBar()->isVisible());
    EXPECT_LT(view.LineRect(tree.Count()).bottom(), view.viewport()->height());
    view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_TRUE(view.IsFollowPaused());
    const int kept = view.verticalScrollBar()->value();
    tree.Append(0, Msg("more"), 0);
    view.Refresh();
    EXPECT_EQ(view.verticalScrollBar()->value(), kept);
    Key(Qt::Key_End);
    EXPECT_FALSE(view.IsFollowPaused());
    EXPECT_TRUE(view.IsAtBottom());
}

// Screen readers get a tree of cells named by their line text, with states, through the
// public accessibility interfaces.
TEST_F(View, ScreenReadersReadATreeOfLines) {
    Nest();
    tree.SetExpanded(3, false);
    tree.Select(3);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Tree);
    ASSERT_EQ(iface->childCount(), 4);
    QAccessibleTableInterface* table = iface->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 4);
    QAccessibleInterface* cell = iface->child(2);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->role(), QAccessible::TreeItem);
    EXPECT_EQ(cell->text(QAccessible::Name), tree.Text(3));
    EXPECT_EQ(cell->text(QAccessible::Description), "Level 2");
    EXPECT_TRUE(cell->state().expandable);
    EXPECT_TRUE(cell->state().collapsed);
    EXPECT_TRUE(cell->state().selected);
    EXPECT_EQ(iface->focusChild(), cell);
    EXPECT_EQ(iface->indexOfChild(cell), 2);
    QAccessibleTableCellInterface* asCell = cell->tableCellInterface();
    ASSERT_NE(asCell, nullptr);
    EXPECT_EQ(asCell->rowIndex(), 2);
    EXPECT_EQ(table->selectedRows(), QList<int>{2});
    EXPECT_TRUE(table->selectRow(3));
    EXPECT_EQ(tree.Selected(), 6);
    QAccessibleInterface* first = iface->child(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->text(QAccessible::Name), tree.Text(1));
}

// Whatever the palette, text the view picks reads at 4.5:1 at least: plain, selected (focused or
// not) and on the user's filter colours.
TEST(RowInk, TextReadsOnLightAndDarkPalettes) {
    QPalette dark;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Base, QColor(30, 30, 30));
        dark.setColor(group, QPalette::Text, QColor(220, 220, 220));
        dark.setColor(group, QPalette::Highlight, QColor(42, 93, 176));
        dark.setColor(group, QPalette::HighlightedText, QColor(255, 255, 255));
    }
    dark.setColor(QPalette::Inactive, QPalette::Highlight, QColor(70, 70, 70));
    dark.setColor(QPalette::Inactive, QPalette::HighlightedText, QColor(90, 90, 90));  // a poor pairing
    const QPalette light = QApplication::style()->standardPalette();
    const Colour backs[] = {kDefaultColour, 0x0080FF80u, 0x0000FFFFu, 0x00800000u, 0x000000FFu, 0x00C0C0C0u};
    for (const QPalette& palette : {light, dark})
        for (auto group : {QPalette::Active, QPalette::Inactive})
            for (bool selected : {false, true})
                for (Colour back : backs) {
                    const RowInk ink = InkFor(palette, group, selected, back, kDefaultColour);
                    EXPECT_GE(ContrastRatio(ink.text, ink.back), 4.5) << selected << " " << back;
                }
    // A dark blue chosen on a light page gives way to the palette's text on a dark one.
    EXPECT_EQ(InkFor(dark, QPalette::Active, false, kDefaultColour, 0x00800000u).text, QColor(220, 220, 220));
    EXPECT_EQ(InkFor(light, QPalette::Active, false, kDefaultColour, 0x00800000u).text, QColor(0, 0, 128));
}

TEST(OverviewBuckets, NeighboursMergeAsTheTraceGrows) {
    OverviewBuckets b;
    for (int line = 1; line <= 5000; ++line) b.Add(line == 4097 ? OverviewBuckets::kError : 0);
    EXPECT_LE(b.BucketCount(), OverviewBuckets::kMaxBuckets);
    const int bucket = b.BucketOf(4097);
    EXPECT_EQ(b.Kinds(bucket), OverviewBuckets::kError);
    EXPECT_LE(b.FirstLine(bucket), 4097);
    EXPECT_GE(b.LastLine(bucket), 4097);
    EXPECT_EQ(b.Kinds(0), 0);
}

TEST_F(View, OverviewShowsErrorsMarksAndTheBookmarkAndGoesThere) {
    for (int i = 0; i < 1000; ++i) tree.Append(0, Msg("x", i == 699 ? 2 : 0), 0);
    tree.SetBackColour(300, kBookmarkBackColour);
    tree.SetForeColour(300, kBookmarkForeColour);
    view.SetMarkTest([](const TraceTree&, int line) { return line == 900; });
    view.Refresh();
    OverviewStrip& strip = *view.Overview();
    strip.ScanAll();
    EXPECT_EQ(strip.KindsOf(700), OverviewBuckets::kError);
    EXPECT_EQ(strip.KindsOf(300), OverviewBuckets::kBookmark);
    EXPECT_EQ(strip.KindsOf(900), OverviewBuckets::kMark);
    const int y = int(699LL * strip.height() / 1000);
    EXPECT_EQ(strip.LineForY(y), 700);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(4, y));
    EXPECT_EQ(tree.Selected(), 700);
}

}  // namespace
}  // namespace tw::viewer
