#include "display_test_support.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/bookmark.hpp"
#include "tw/display/dlg_find.hpp"
#include "tw/display/find.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

using test::AddLine;

SearchOptions Options(const QString& text, bool down = true, bool matchCase = false, bool wholeLine = false) {
    return {text, down, matchCase, wholeLine};
}

// Lines: 1 "start", 2 "An Error here", 3 "other", 4 "error again", 5 "tail".
void FillFive(TraceTree& tree) {
    AddLine(tree, 0, 1, QStringLiteral("start"));
    AddLine(tree, 2, 2, QStringLiteral("An Error here"));
    AddLine(tree, 0, 3, QStringLiteral("other"));
    AddLine(tree, 2, 4, QStringLiteral("error again"));
    AddLine(tree, 0, 5, QStringLiteral("tail"));
}

TEST(Find, CaseFoldingAndWholeLine) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    FillFive(tree);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("ERROR")), false), 2);
    tree.Select(0);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("ERROR"), true, true), false), 0);
    EXPECT_EQ(tree.Selected(), 0);
    // Whole line: a message word alone never matches, the whole line text does.
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("other"), true, false, true), false), 0);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("00003  09:05:042  OTHER"), true, false, true), false), 3);
    // The record number and time stamp are part of the searched text.
    tree.Select(0);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("00004  ")), false), 4);
}

TEST(Find, StartLineRepeatAndDirection) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    FillFive(tree);
    tree.Select(2);
    // Find... tests the selected line first: it stays.
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("error")), false), 2);
    // Find Next moves on first.
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("error")), true), 4);
    // Up from line 4 with repeat starts at line 3.
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("error"), false), true), 2);
    // Repeat on line 1 going up tests line 1 itself.
    tree.Select(1);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("start"), false), true), 1);
    // Repeat on the last line going down tests the last line again.
    tree.Select(5);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("tail")), true), 5);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("error")), true), 0);
    EXPECT_EQ(tree.Selected(), 5);
    // No selection: line 1 is the start line, also for a repeat.
    tree.Select(0);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("start")), true), 1);
}

TEST(Find, MatcherTextIsTheLineText) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    AddLine(tree, 0, -42, QStringLiteral("neg"));
    AddLine(tree, 0, 1234567, QStringLiteral("wide Ünïcode ß"));
    tree.Append(0, MessageSink::CreateEx(0, 7, u""), PackStamp(23, 59, 999));
    // A text that starts like a line's head is tested against the whole line.
    LineMatcher exact(Options(QStringLiteral("0x"), true, true));
    LineMatcher folded(Options(QStringLiteral("0x")));
    for (int i = 1; i <= tree.Count(); ++i) {
        exact.Matches(tree, i);
        EXPECT_EQ(exact.LastText().toString(), tree.Text(i));
        folded.Matches(tree, i);
        QString upper = tree.Text(i);
        UpperCaseInPlace(upper);
        EXPECT_EQ(folded.LastText().toString(), upper);
    }
    // A text starting with a letter still matches across the head's end only if it could
    // start there: "2  09" spans record number and time stamp.
    tree.Select(0);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("567  09:05:042  WIDE")), false), 2);
    EXPECT_EQ(SearchTree(tree, Options(QStringLiteral("wide ünï")), false), 2);
    // Upper-casing keeps the length: ß stays one character.
    QString s = QStringLiteral("straße");
    UpperCaseInPlace(s);
    EXPECT_EQ(s, QStringLiteral("STRAßE"));
}

TEST(Find, DialogCommandsBoxesAndTextCheck) {
    tw::test::BoxRecorder boxes;
    PlainTracePages pages;
    Find find(pages);
    DlgFind& dialog = find.FindDialog();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Find"));
    auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("txtFind"));
    auto* matchCase = dialog.findChild<QCheckBox*>(QStringLiteral("chkCase"));
    ASSERT_TRUE(text && matchCase);
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lblWhat"))->text(), QStringLiteral("Fi&nd what:"));
    EXPECT_EQ(dialog.findChild<QGroupBox*>(QStringLiteral("fraDir"))->title(), QStringLiteral("Direction"));
    EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("chkWholeWord"))->text(),
              QStringLiteral("Match &whole word only"));
    EXPECT_TRUE(dialog.SearchDown());
    EXPECT_FALSE(dialog.MatchCase() || dialog.MatchWholeWord() || dialog.DialogOK());

    // Empty page: the information box.
    tw::test::OnNextModal([&](QWidget* modal) {
        text->setText(QStringLiteral("  error "));
        tw::test::ClickButton(modal, 0);
    });
    find.FindNew();
    EXPECT_FALSE(find.Repeat());
    EXPECT_EQ(text->text(), QStringLiteral("error"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, QStringLiteral("Search string not found.\r\n"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Find"));
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Information);

    FillFive(pages.GetDefault());
    TraceTree& tree = pages.GetDefault();
    find.FindNext();  // the dialog's text, without showing it
    EXPECT_TRUE(find.Repeat());
    EXPECT_EQ(tree.Selected(), 2);
    find.FindNext();
    EXPECT_EQ(tree.Selected(), 4);
    find.FindNext();  // last match: the box, the selection stays
    EXPECT_EQ(tree.Selected(), 4);
    EXPECT_EQ(boxes.boxes.size(), 2u);

    // Match case through the dialog; Find... stays on a matching selected line.
    tw::test::OnNextModal([&](QWidget* modal) {
        matchCase->setChecked(true);
        tw::test::ClickButton(modal, 0);
    });
    find.FindNew();
    EXPECT_EQ(tree.Selected(), 4);
    EXPECT_EQ(boxes.boxes.size(), 2u);

    // Cancel searches nothing; blanks only search nothing, say nothing and empty the box.
    tree.Select(1);
    tw::test::OnNextModal([](QWidget* modal) { tw::test::ClickButton(modal, 1); });
    find.FindNew();
    EXPECT_EQ(tree.Selected(), 1);
    tw::test::OnNextModal([&](QWidget* modal) {
        text->setText(QStringLiteral("   "));
        tw::test::ClickButton(modal, 0);
    });
    find.FindNew();
    EXPECT_EQ(text->text(), QString());
    find.FindNext();
    EXPECT_EQ(tree.Selected(), 1);
    EXPECT_EQ(boxes.boxes.size(), 2u);

    // Upwards from the last line.
    tw::test::OnNextModal([&](QWidget* modal) {
        text->setText(QStringLiteral("Error"));
        modal->findChildren<QRadioButton*>(QStringLiteral("optDir"))[0]->setChecked(true);
        tw::test::ClickButton(modal, 0);
    });
    tree.Select(5);
    find.FindNew();
    EXPECT_FALSE(dialog.SearchDown());
    EXPECT_EQ(tree.Selected(), 2);
}

TEST(Bookmark, MarksRestoresAndJumps) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    FillFive(tree);
    Bookmark mark(pages);
    mark.SetBookMark();  // nothing selected: nothing marked
    mark.GetBookMark();
    EXPECT_EQ(mark.MarkedIndex(), 0);
    EXPECT_EQ(tree.Selected(), 0);

    tree.SetBackColour(2, 0x0080FF80u);  // painted by a highlight filter before
    tree.Select(2);
    mark.SetBookMark();
    EXPECT_EQ(tree.BackColour(2), kBookmarkBackColour);
    EXPECT_EQ(tree.ForeColour(2), kBookmarkForeColour);
    EXPECT_TRUE(tree.Bold(2));

    tree.Select(4);
    mark.SetBookMark();
    EXPECT_EQ(tree.BackColour(2), 0x0080FF80u);
    EXPECT_EQ(tree.ForeColour(2), kDefaultColour);
    EXPECT_FALSE(tree.Bold(2));
    EXPECT_TRUE(tree.Bold(4));

    tree.Select(1);
    mark.GetBookMark();
    EXPECT_EQ(tree.Selected(), 4);
}

TEST(Bookmark, MarkOnAnotherPageSelectsThatPage) {
    PlainTracePages pages;
    FillFive(pages.GetDefault());
    pages.GetDefault().Select(3);
    Bookmark mark(pages);
    mark.SetBookMark();
    TraceTree* page = pages.Add(QStringLiteral("f"));
    ASSERT_NE(page, nullptr);
    AddLine(*page, 0, 9, QStringLiteral("copy"));
    page->Select(1);
    mark.GetBookMark();
    EXPECT_EQ(pages.CurrentPage(), 0);
    EXPECT_EQ(pages.GetDefault().Selected(), 3);
    EXPECT_EQ(page->Selected(), 1);
}

TEST(Bookmark, DeletedOrClearedLineIsForgottenWithoutTouchingOthers) {
    PlainTracePages pages;
    TraceTree& tree = pages.GetDefault();
    FillFive(tree);
    Bookmark mark(pages);
    tree.Select(3);
    mark.SetBookMark();
    tree.RemoveSubtree(3);  // line 4 is now line 3
    tree.Select(1);
    mark.GetBookMark();
    EXPECT_EQ(tree.Selected(), 1);
    EXPECT_EQ(mark.MarkedIndex(), 0);
    // A new mark after the deletion restores nothing on the line that took the old index.
    tree.SetBackColour(3, 0x00123456u);
    tree.Select(2);
    mark.SetBookMark();
    EXPECT_EQ(tree.BackColour(3), 0x00123456u);
    EXPECT_FALSE(tree.Bold(3));
    EXPECT_EQ(mark.MarkedIndex(), 2);

    // A cleared page that fills again: the jump finds nothing, no line is recoloured.
    tree.Clear();
    FillFive(tree);
    tree.Select(5);
    mark.GetBookMark();
    EXPECT_EQ(tree.Selected(), 5);
    tree.Select(1);
    mark.SetBookMark();
    for (int i = 2; i <= 5; ++i) EXPECT_EQ(tree.BackColour(i), kDefaultColour) << i;
}

TEST(Bookmark, JumpOnTheViewerSwitchesTabs) {
    QWidget host;
    Viewer viewer(&host);
    FillFive(viewer.GetDefault());
    TraceTree* page = viewer.Add(QStringLiteral("f"));
    ASSERT_NE(page, nullptr);
    AddLine(*page, 0, 1, QStringLiteral("x"));
    AddLine(*page, 0, 2, QStringLiteral("y"));
    page->Select(2);
    Bookmark mark(viewer);
    mark.SetBookMark();
    viewer.SetCurrentPage(0);
    EXPECT_EQ(viewer.CurrentPage(), 0);
    mark.GetBookMark();
    EXPECT_EQ(viewer.CurrentPage(), 1);
    EXPECT_EQ(page->Selected(), 2);
    EXPECT_EQ(viewer.GetDefault().Selected(), 0);
    // A hidden page cannot be selected.
    viewer.SetCurrentPage(3);
    EXPECT_EQ(viewer.CurrentPage(), 1);
    EXPECT_EQ(viewer.PageOf(*page), 1);
}

}  // namespace
}  // namespace tw::viewer
