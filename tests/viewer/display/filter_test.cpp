#include "tw/display/filter.hpp"

#include "display_test_support.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/dlg_filter.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/display/viewer_images.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

using test::AddLine;

QStringList Check(const QString& name, const QString& text, const QString& from, const QString& to,
                  std::vector<qint16> types = {}, bool filterCurrent = true) {
    return Filter::Check(name, text, from, to, types, filterCurrent);
}

TEST(FilterCheck, GroupsRunInOrder) {
    const QString none = QStringLiteral("You must at least enter or select one Filter criteria.");
    EXPECT_EQ(Check("", "", "", ""), QStringList{none});
    EXPECT_EQ(Check("", "  ", " ", ""), QStringList{none});
    // New tab without a name and a reversed range: only the name is reported.
    EXPECT_EQ(Check(" ", "", "5", "2", {}, false),
              QStringList{"Filter Name: A new viewer tab requires a filter name for the description."});
    EXPECT_EQ(Check("n", "", "5", "2", {}, false),
              QStringList{"To Record Number: Must be a value greater than the From Record Number."});
    // Not numeric hides the negative To.
    EXPECT_EQ(Check("", "", "abc", "-1"), QStringList{"From Record Number: Must be a numeric value."});
    EXPECT_EQ(Check("", "x", "-3", "-1"),
              QStringList({"From Record Number: Must be a value greater than or equal to zero.",
                           "To Record Number: Must be a value greater than or equal to zero."}));
    // Name and both numbers are one group: all three are listed together.
    EXPECT_EQ(Check("", "", "a", "b", {}, false).size(), 3);
    EXPECT_EQ(Check("", "", "1000001", "2000000"),
              QStringList({"From Record Number: Must be a value less than or equal to 1000000",
                           "To Record Number: Must be a value less than or equal to 1000000"}));
    EXPECT_EQ(Check("", "", "5", ""),
              QStringList{"To Record Number: Must be a value greater than the From Record Number."});
    // Passing cases: equal bounds, the upper limit itself, a type alone, a text alone.
    EXPECT_TRUE(Check("", "", "7", "7").isEmpty());
    EXPECT_TRUE(Check("", "", "1000000", "1000000").isEmpty());
    EXPECT_TRUE(Check("", "", "", "", {4}).isEmpty());
    EXPECT_TRUE(Check("", "warn", "", "").isEmpty());
}

TEST(FilterCheck, CreateStoresTrimmedRoundedValuesOrShowsTheBox) {
    tw::test::BoxRecorder boxes;
    Filter failed;
    EXPECT_FALSE(failed.Create("", "", false, "abc", "", {}, false, 1));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt,
              QStringLiteral("Filter Name: A new viewer tab requires a filter name for the description.\r\n"
                             "From Record Number: Must be a numeric value.\r\n"));
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Tracewell"));
    EXPECT_EQ(boxes.boxes[0].icon, BoxIcon::Warning);
    EXPECT_TRUE(failed.FilterName().isEmpty());
    EXPECT_EQ(failed.FilterColour(), 0u);

    Filter f;
    EXPECT_TRUE(f.Create("  Errors ", " disk; ", true, "2.5", "3.5", {2, 3}, false, 0x00123456u));
    EXPECT_EQ(f.FilterName(), QStringLiteral("Errors"));
    EXPECT_EQ(f.MessageFilter(), QStringLiteral("disk;"));
    EXPECT_EQ(f.FromRecord(), 2.0);
    EXPECT_EQ(f.ToRecord(), 4.0);
    EXPECT_TRUE(f.CheckCase());
    EXPECT_FALSE(f.FilterCurrent());
    EXPECT_EQ(f.FilterColour(), 0x00123456u);
    EXPECT_EQ(f.MessageTypes(), (std::vector<qint16>{2, 3}));
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

Filter Make(const QString& text, const QString& from = {}, const QString& to = {}, std::vector<qint16> types = {},
            bool current = false, bool checkCase = false, const QString& name = QStringLiteral("page")) {
    Filter f;
    EXPECT_TRUE(f.Create(name, text, checkCase, from, to, types, current, 0x0080FF80u));
    return f;
}

TEST(FilterExpressions, Separators) {
    EXPECT_EQ(Make("warn;disk").Expressions(), QStringList({"warn", "disk"}));
    EXPECT_EQ(Make(";warn").Expressions(), QStringList{";warn"});
    EXPECT_EQ(Make(";warn;disk").Expressions(), QStringList{";warn;disk"});
    EXPECT_EQ(Make("warn;").Expressions(), QStringList({"warn", ""}));
    EXPECT_EQ(Make("a;;b").Expressions(), QStringList({"a", "", "b"}));
    EXPECT_EQ(Make("warn").Expressions(), QStringList{"warn"});
}

// Default page: records 1..8; types and texts chosen for the tests below.
void FillSource(TraceTree& tree) {
    const int enter = AddLine(tree, 6, 1, QStringLiteral("Enter formula"));
    AddLine(tree, 0, 2, QStringLiteral("warning: DISK full"), enter);
    AddLine(tree, 1, 3, QStringLiteral("a note on disk"), enter);
    AddLine(tree, 7, 4, QStringLiteral("Exit formula"));
    AddLine(tree, 4, 5, QStringLiteral("Total = 100"));
    AddLine(tree, 2, 7, QStringLiteral("Error seven"));
    AddLine(tree, 3, 7, QStringLiteral("warn ;semi"));
    AddLine(tree, 14, 8, QStringLiteral(""));
}

std::vector<int> Records(const TraceTree& tree) {
    std::vector<int> out;
    for (int i = 1; i <= tree.Count(); ++i) out.push_back(tree.Message(i).RecordNumber());
    return out;
}

std::vector<int> Copied(const Filter& f) {
    PlainTracePages pages;
    FillSource(pages.GetDefault());
    if (AddFilter(pages, f) < 0) return {-1};
    return Records(pages.GetCurrent());
}

TEST(AddFilter, RangeTextAndTypeTests) {
    EXPECT_EQ(Copied(Make("", "7", "7")), (std::vector<int>{7, 7}));
    EXPECT_EQ(Copied(Make("", "0", "5")), (std::vector<int>{}));  // a range needs both bounds
    EXPECT_EQ(Copied(Make("", "2", "4")), (std::vector<int>{2, 3, 4}));
    EXPECT_EQ(Copied(Make("warn;disk")), (std::vector<int>{2, 3, 7}));
    EXPECT_EQ(Copied(Make("warn;disk", {}, {}, {}, false, true)), (std::vector<int>{2, 3, 7}));
    EXPECT_EQ(Copied(Make("DISK", {}, {}, {}, false, true)), (std::vector<int>{2}));
    EXPECT_EQ(Copied(Make("Disk")), (std::vector<int>{2, 3}));  // case folded
    EXPECT_EQ(Copied(Make(";semi")), (std::vector<int>{7}));     // one expression, semicolon included
    EXPECT_EQ(Copied(Make("nothing;")), (std::vector<int>{1, 2, 3, 4, 5, 7, 7, 8}));
    EXPECT_EQ(Copied(Make("zz;;yy")), (std::vector<int>{1, 2, 3, 4, 5, 7, 7, 8}));
    // The text test reads the message only, not the record number or time stamp.
    EXPECT_EQ(Copied(Make("09:05")), (std::vector<int>{}));
    EXPECT_EQ(Copied(Make("", {}, {}, {4})), (std::vector<int>{5}));
    // Entries, exits and check points never pass a type test of the dialog's types.
    EXPECT_EQ(Copied(Make("", {}, {}, {0, 1, 2, 3, 4})), (std::vector<int>{2, 3, 5, 7, 7}));
    // All three tests at once.
    EXPECT_EQ(Copied(Make("e", "3", "7", {2, 3})), (std::vector<int>{7, 7}));
}

TEST(AddFilter, CopiesAreFlatPlainSnapshotsOnTheLowestFreePage) {
    PlainTracePages pages;
    TraceTree& source = pages.GetDefault();
    FillSource(source);
    source.SetBackColour(2, 0x00FF00FFu);
    source.SetBold(2, true);
    EXPECT_EQ(AddFilter(pages, Make("disk", {}, {}, {}, false, false, "Disk lines")), 2);
    EXPECT_EQ(pages.CurrentPage(), 1);
    EXPECT_EQ(pages.Caption(1), QStringLiteral("Disk lines"));
    TraceTree& page = pages.Tree(1);
    ASSERT_EQ(page.Count(), 2);
    EXPECT_EQ(page.Parent(1), 0);
    EXPECT_EQ(page.Parent(2), 0);
    EXPECT_EQ(page.Text(1), source.Text(2));
    EXPECT_EQ(page.Tag(1), source.Tag(2));  // the same message, not a copy of it
    EXPECT_EQ(page.BackColour(1), kDefaultColour);
    EXPECT_FALSE(page.Bold(1));

    // A filter page is itself a source; later messages do not reach the copy.
    EXPECT_EQ(AddFilter(pages, Make("full")), 1);
    EXPECT_EQ(pages.CurrentPage(), 2);
    AddLine(source, 0, 9, QStringLiteral("disk again"));
    EXPECT_EQ(page.Count(), 2);

    // Pages 3 and 4, then a fifth filter does nothing and changes no page.
    pages.SetCurrentPage(0);
    EXPECT_EQ(AddFilter(pages, Make("", {}, {}, {0})), 2);  // with the line added above
    pages.SetCurrentPage(0);
    EXPECT_EQ(AddFilter(pages, Make("", {}, {}, {1})), 1);
    pages.SetCurrentPage(0);
    EXPECT_EQ(AddFilter(pages, Make("", {}, {}, {2})), -1);
    EXPECT_EQ(pages.CurrentPage(), 0);
    EXPECT_EQ(pages.Caption(4), QStringLiteral("page"));
    // Highlighting still works with every page open.
    EXPECT_EQ(AddFilter(pages, Make("", {}, {}, {2}, true)), 1);
    EXPECT_EQ(source.BackColour(6), 0x0080FF80u);
}

TEST(AddFilter, HighlightPaintsTheCurrentPageOnly) {
    PlainTracePages pages;
    TraceTree& source = pages.GetDefault();
    FillSource(source);
    ASSERT_EQ(AddFilter(pages, Make("", "1", "8")), 8);
    TraceTree& page = pages.GetCurrent();
    ASSERT_NE(&page, &source);
    const int painted = AddFilter(pages, Make("formula", {}, {}, {}, true));
    EXPECT_EQ(painted, 2);
    EXPECT_EQ(page.BackColour(1), 0x0080FF80u);
    EXPECT_EQ(page.BackColour(4), 0x0080FF80u);
    EXPECT_EQ(page.BackColour(2), kDefaultColour);
    for (int i = 1; i <= source.Count(); ++i) EXPECT_EQ(source.BackColour(i), kDefaultColour) << i;
    EXPECT_EQ(pages.CurrentPage(), 1);
    EXPECT_EQ(page.Count(), 8);
}

TEST(DlgFilter, StartsEmptyBuildsFiltersAndCancels) {
    tw::test::BoxRecorder boxes;
    DlgFilter dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Create Filter"));
    QStringList frames;
    for (auto* box : dialog.findChildren<QGroupBox*>()) frames << box->title();
    EXPECT_EQ(frames, QStringList({"Message Types:", "Messages Contain:", "Record Range:", "View:"}));
    const auto types = dialog.findChildren<QCheckBox*>(QStringLiteral("chkType"));
    ASSERT_EQ(types.size(), 5);
    const QStringList labels{"General Messages", "Notes", "Errors", "Warnings", "Objects"};
    const int pictures[5] = {12, 5, 4, 11, 14};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(types[i]->property("index").toInt(), i);
        EXPECT_EQ(types[i]->property("tag").toString(), QString::number(i));
        EXPECT_EQ(types[i]->text(), labels[i]);
        EXPECT_EQ(types[i]->icon().cacheKey(), ViewerImage(pictures[i]).cacheKey());
        EXPECT_FALSE(types[i]->isChecked());
    }
    const auto views = dialog.findChildren<QRadioButton*>(QStringLiteral("optView"));
    ASSERT_EQ(views.size(), 2);
    QRadioButton* highlight = views[0]->property("index").toInt() == 1 ? views[0] : views[1];
    QRadioButton* newTab = highlight == views[0] ? views[1] : views[0];
    EXPECT_TRUE(highlight->isChecked());
    EXPECT_EQ(highlight->text(), QStringLiteral("&Highlight existing items in selected color:"));
    EXPECT_EQ(newTab->text(), QStringLiteral("&Create new viewer tab with filtered items only:"));
    EXPECT_EQ(dialog.SwatchColour(), 0x0080FF80u);
    auto* swatch = dialog.findChild<QFrame*>(QStringLiteral("picColour"));
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->palette().color(QPalette::Window), QColor(0x80, 0xFF, 0x80));
    EXPECT_TRUE(dialog.Button(0)->isDefault());
    EXPECT_EQ(dialog.Button(0)->text(), QStringLiteral("&OK"));
    EXPECT_EQ(dialog.Button(1)->text(), QStringLiteral("&Cancel"));
    EXPECT_EQ(dialog.Filter(), nullptr);

    auto* text = dialog.findChild<QLineEdit*>(QStringLiteral("txtString"));
    auto* from = dialog.findChild<QLineEdit*>(QStringLiteral("txtFrom"));
    auto* to = dialog.findChild<QLineEdit*>(QStringLiteral("txtTo"));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("txtName"));
    auto* checkCase = dialog.findChild<QCheckBox*>(QStringLiteral("chkCase"));
    ASSERT_TRUE(text && from && to && name && checkCase);

    // The system colour chooser behind "...": a chosen colour goes to the swatch, a cancelled
    // chooser keeps it.
    tw::test::OnNextModal([](QWidget* modal) {
        auto* chooser = qobject_cast<QColorDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(chooser->currentColor(), QColor(0x80, 0xFF, 0x80));
        chooser->setCurrentColor(QColor(0x12, 0x34, 0x56));
        chooser->accept();
    });
    dialog.findChild<QPushButton*>(QStringLiteral("cmdColour"))->click();
    EXPECT_EQ(dialog.SwatchColour(), 0x00563412u);
    tw::test::OnNextModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    dialog.findChild<QPushButton*>(QStringLiteral("cmdColour"))->click();
    EXPECT_EQ(dialog.SwatchColour(), 0x00563412u);

    // OK with nothing: the box, the dialog stays open, no filter.
    tw::test::OnNextModal([&](QWidget* modal) {
        tw::test::ClickButton(modal, 0);
        EXPECT_TRUE(modal->isVisible());
        newTab->setChecked(true);
        name->setText(QStringLiteral(" Errors "));
        text->setText(QStringLiteral("disk"));
        checkCase->setChecked(true);
        from->setText(QStringLiteral("3"));
        to->setText(QStringLiteral("9"));
        types[2]->setChecked(true);
        types[4]->setChecked(true);
        tw::test::ClickButton(modal, 0);
    });
    dialog.exec();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].prompt, QStringLiteral("You must at least enter or select one Filter criteria.\r\n"));
    ASSERT_NE(dialog.Filter(), nullptr);
    const Filter& f = *dialog.Filter();
    EXPECT_EQ(f.FilterName(), QStringLiteral("Errors"));
    EXPECT_EQ(f.MessageFilter(), QStringLiteral("disk"));
    EXPECT_TRUE(f.CheckCase());
    EXPECT_EQ(f.FromRecord(), 3.0);
    EXPECT_EQ(f.ToRecord(), 9.0);
    EXPECT_FALSE(f.FilterCurrent());
    EXPECT_EQ(f.FilterColour(), 0x00563412u);
    EXPECT_EQ(f.MessageTypes(), (std::vector<qint16>{2, 4}));

    // Cancel drops the filter.
    tw::test::OnNextModal([](QWidget* modal) { tw::test::ClickButton(modal, 1); });
    dialog.exec();
    EXPECT_EQ(dialog.Filter(), nullptr);
}

TEST(AddFilter, PaintingAndCopyingOnTheViewer) {
    QWidget host;
    Viewer viewer(&host);
    FillSource(viewer.GetDefault());
    EXPECT_EQ(AddFilter(viewer, Make("disk", {}, {}, {}, false, false, "Disk")), 2);
    EXPECT_EQ(viewer.CurrentPage(), 1);
    EXPECT_EQ(viewer.TabWidget()->tabText(1), QStringLiteral("Disk"));
    EXPECT_TRUE(viewer.TabWidget()->isTabVisible(1));
    viewer.FlushPending();
    EXPECT_EQ(viewer.View(1)->Rows().Count(), 2);
    EXPECT_EQ(AddFilter(viewer, Make("full", {}, {}, {}, true)), 1);
    QApplication::processEvents();
    TraceView* view = viewer.View(1);
    viewer.TabWidget()->resize(300, 200);
    viewer.TabWidget()->show();
    const QImage painted = view->viewport()->grab().toImage();
    const QRect row = view->LineRect(1);
    EXPECT_EQ(painted.pixelColor(row.right() - 2, row.center().y()), QColor(0x80, 0xFF, 0x80));
    EXPECT_EQ(viewer.GetDefault().BackColour(2), kDefaultColour);
}

}  // namespace
}  // namespace tw::viewer
