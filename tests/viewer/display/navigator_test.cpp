#include "tw/display/navigator.hpp"

#include "display_test_support.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/dlg_goto.hpp"
#include "tw/display/numeric_text.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"

#include <QCheckBox>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

using test::AddLine;

// Lines with the given record numbers, all general messages unless types are given.
void Fill(TraceTree& tree, std::initializer_list<int> records, std::initializer_list<int> types = {}) {
    auto type = types.begin();
    for (int r : records) AddLine(tree, type != types.end() ? *type++ : 0, r, QStringLiteral("m%1").arg(r));
}

TEST(Navigator, EmptyPageDoesNothingAndGotoShowsNoDialog) {
    PlainTracePages pages;
    Navigator nav(pages);
    tw::test::ModalWatch watch;
    nav.MoveNext();
    nav.MovePrevious();
    nav.MoveFirst();
    nav.MoveLast();
    nav.BrowseNext(2);
    nav.GotoRecordNumber();
    EXPECT_EQ(watch.shown, 0);
    EXPECT_EQ(pages.GetCurrent().Selected(), 0);
}

TEST(Navigator, StepsFromNoSelectionAndAtTheEnds) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    Fill(tree, {1, 2, 3});
    Navigator nav(pages);
    nav.MoveNext();  // line 1 is taken first, then Next moves on
    EXPECT_EQ(tree.Selected(), 2);
    tree.Select(0);
    nav.MovePrevious();
    EXPECT_EQ(tree.Selected(), 1);
    nav.MovePrevious();  // on line 1: nothing
    EXPECT_EQ(tree.Selected(), 1);
    tree.Select(0);
    nav.MoveLast();
    EXPECT_EQ(tree.Selected(), 3);
    nav.MoveNext();  // on the last line nothing wraps
    nav.BrowseNext(0);
    EXPECT_EQ(nav.GotoRecord(3, false), 3);
    EXPECT_EQ(tree.Selected(), 3);
    nav.MoveFirst();
    EXPECT_EQ(tree.Selected(), 1);
}

TEST(Navigator, BrowseFindsOnlyLaterLinesOfTheType) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    // Errors on lines 1, 2 and 5; a subreport entry (8) on line 4, a formula entry (6) on 6.
    Fill(tree, {1, 2, 3, 4, 5, 6}, {2, 2, 0, 8, 2, 6});
    Navigator nav(pages);
    tree.Select(3);
    nav.BrowseNext(2);
    EXPECT_EQ(tree.Selected(), 5);
    nav.BrowseNext(2);
    EXPECT_EQ(tree.Selected(), 5);
    // With nothing selected the search starts after line 1, so line 1 itself is never found.
    tree.Select(0);
    nav.BrowseNext(2);
    EXPECT_EQ(tree.Selected(), 2);
    // Browse Formula looks for formula entries only, not subreport entries.
    tree.Select(1);
    nav.BrowseNext(6);
    EXPECT_EQ(tree.Selected(), 6);
    // No match: the selection stays where the first step put it.
    tree.Select(0);
    nav.BrowseNext(14);
    EXPECT_EQ(tree.Selected(), 1);
}

TEST(Navigator, GotoWithDuplicatesAndFromTheFirstLine) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    Fill(tree, {3, 7, 7});
    Navigator nav(pages);
    tree.Select(1);
    EXPECT_EQ(nav.GotoRecord(7, false), 2);
    EXPECT_EQ(nav.GotoRecord(7, false), 3);
    EXPECT_EQ(nav.GotoRecord(7, false), 3);
    // From the first record number: the search starts after line 1.
    EXPECT_EQ(nav.GotoRecord(7, true), 2);
    EXPECT_EQ(nav.GotoRecord(3, true), 1);
    // A number that is not whole matches nothing.
    tree.Select(0);
    EXPECT_EQ(nav.GotoRecord(7.5, false), 1);
}

TEST(Navigator, MovesOnTheSelectedPageOnly) {
    PlainTracePages pages;
    Fill(pages.GetDefault(), {1, 2, 3});
    pages.GetDefault().Select(2);
    TraceTree* page = pages.Add(QStringLiteral("f"));
    ASSERT_NE(page, nullptr);
    Fill(*page, {10, 20});
    Navigator nav(pages);
    nav.MoveNext();
    EXPECT_EQ(page->Selected(), 2);
    EXPECT_EQ(pages.GetDefault().Selected(), 2);
    pages.SetCurrentPage(0);
    nav.MoveLast();
    EXPECT_EQ(pages.GetDefault().Selected(), 3);
    EXPECT_EQ(page->Selected(), 2);
}

TEST(Navigator, GotoDialogChecksKeepsInputAndCancels) {
    tw::test::BoxRecorder boxes;
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    Fill(tree, {3, 7, 7, 9});
    Navigator nav(pages);
    DlgGoto& dialog = nav.GotoDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Goto Record Number"));
    EXPECT_FALSE(dialog.DialogOK());
    auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("txtRecordNumber"));
    auto* first = dialog.findChild<QCheckBox*>(QStringLiteral("chkFirst"));
    ASSERT_TRUE(text && first);
    EXPECT_EQ(first->text(), QStringLiteral("&Search from the first record number"));

    // abc, then 0, then -4 are refused with the dialog left open; 7 goes through.
    std::vector<bool> visibleAfterError;
    tw::test::OnNextModal([&](QWidget* modal) {
        for (const char* typed : {"abc", "0", "-4"}) {
            text->setText(QString::fromLatin1(typed));
            tw::test::ClickButton(modal, 0);
            visibleAfterError.push_back(modal->isVisible());
        }
        text->setText(QStringLiteral("7"));
        tw::test::ClickButton(modal, 0);
    });
    nav.GotoRecordNumber();
    EXPECT_EQ(visibleAfterError, std::vector<bool>({true, true, true}));
    ASSERT_EQ(boxes.boxes.size(), 3u);
    EXPECT_EQ(boxes.boxes[0].prompt, QStringLiteral("Record Number: Must be a numeric value.\r\n"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Tracewell"));
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Warning);
    EXPECT_EQ(boxes.boxes[1].prompt, QStringLiteral("Record Number: Must be a value greater than zero.\r\n"));
    EXPECT_EQ(boxes.boxes[2].prompt, boxes.boxes[1].prompt);
    EXPECT_TRUE(dialog.DialogOK());
    EXPECT_EQ(tree.Selected(), 2);

    // The dialog keeps its text: Goto again at once finds the next 7.
    QString seen;
    tw::test::OnNextModal([&](QWidget* modal) {
        seen = text->text();
        tw::test::ClickButton(modal, 0);
    });
    nav.GotoRecordNumber();
    EXPECT_EQ(seen, QStringLiteral("7"));
    EXPECT_EQ(tree.Selected(), 3);

    // Cancel (and Escape) change nothing, even after an earlier Goto closed with OK.
    tw::test::OnNextModal([&](QWidget* modal) {
        text->setText(QStringLiteral("9"));
        tw::test::ClickButton(modal, 1);
    });
    nav.GotoRecordNumber();
    EXPECT_FALSE(dialog.DialogOK());
    EXPECT_EQ(tree.Selected(), 3);
    tw::test::OnNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    nav.GotoRecordNumber();
    EXPECT_EQ(tree.Selected(), 3);
    EXPECT_EQ(boxes.boxes.size(), 3u);
}

TEST(NumericText, PlainDecimalFormsOnly) {
    EXPECT_EQ(NumericValue(u" 12 "), 12.0);
    EXPECT_EQ(NumericValue(u"-4"), -4.0);
    EXPECT_EQ(NumericValue(u"+2.5"), 2.5);
    EXPECT_EQ(NumericValue(u".5"), 0.5);
    EXPECT_EQ(NumericValue(u"1e3"), 1000.0);
    for (const char16_t* bad : {u"", u"  ", u"abc", u"1,000", u"&H10", u"1e", u"--1", u"1e999", u"12a", u"."})
        EXPECT_FALSE(NumericValue(bad).has_value()) << QString::fromUtf16(bad).toStdString();
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(TrimBlanks(u"  a b\t "), QStringLiteral("a b\t"));
}

TEST(Navigator, SelectingOpensAncestorsAndScrollsOnTheSelectedPageOnly) {
    QWidget host;
    host.resize(400, 300);
    Viewer viewer(&host);
    TraceTree& tree = viewer.GetDefault();
    const int enter = AddLine(tree, 6, 1, QStringLiteral("enter"));
    for (int i = 0; i < 200; ++i) AddLine(tree, 0, 2 + i, QStringLiteral("inner"), enter);
    AddLine(tree, 2, 500, QStringLiteral("deep error"), enter);
    tree.SetExpanded(enter, false);
    TraceTree* filter = viewer.Add(QStringLiteral("copy"));
    ASSERT_NE(filter, nullptr);
    AddLine(*filter, 2, 1, QStringLiteral("copied"));
    viewer.SetCurrentPage(0);
    host.show();
    viewer.FlushPending();

    Navigator nav(viewer);
    nav.MoveLast();
    const int last = tree.Count();
    EXPECT_EQ(tree.Selected(), last);
    EXPECT_TRUE(tree.IsExpanded(enter));
    TraceView* view = viewer.View(0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->CurrentLine(), last);
    EXPECT_TRUE(view->viewport()->rect().intersects(view->LineRect(last)));
    EXPECT_EQ(filter->Selected(), 0);
}

}  // namespace
}  // namespace tw::viewer
