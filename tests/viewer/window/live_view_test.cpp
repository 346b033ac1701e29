// Reading a live trace through the real main window: following new lines and the quick filter.

#include "tw/window/live_view.hpp"

#include "tw/common/common.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/display/detail_pane.hpp"
#include "tw/display/match_highlight.hpp"
#include "tw/display/quick_filter_bar.hpp"
#include "tw/display/time_columns.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <set>

namespace tw::window {
namespace {

using viewer::MessageSink;

class LiveViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Each test starts with no remembered view choices.
        settings::Remove(QStringLiteral("view/detailPane"));
        settings::Remove(QStringLiteral("view/timeColumns"));
        form = std::make_unique<FrmMain>();
        form->resize(900, 700);
        form->show();
        QApplication::processEvents();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(w)) m->hide();
    }
    void Send(int type, int record, const QString& text) {
        form->MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text));
    }
    void SendMany(int n, int from = 1) {
        for (int i = from; i < from + n; ++i) Send(0, i, QStringLiteral("line %1").arg(i));
    }
    // Publishes appended lines and lets queued work (one scroll per batch) run.
    void Settle() {
        form->Viewer().FlushPending();
        if (Bar().FilteredView()) {
            Bar().CatchUp();
            Bar().FilteredView()->Refresh();
        }
        QApplication::processEvents();
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    viewer::TraceView* View() {
        viewer::TraceView* view = form->Viewer().View(0);
        if (!view) std::abort();
        return view;
    }
    LiveView& Live() { return *form->findChild<LiveView*>("liveView"); }
    viewer::QuickFilterBar& Bar() { return Live().QuickFilter(); }
    QLineEdit* Field() { return form->findChild<QLineEdit*>("txtQuickFilter"); }
    QScrollBar* VBar() { return View()->verticalScrollBar(); }
    bool AtBottom(viewer::TraceView* v) {
        return v->verticalScrollBar()->value() == v->verticalScrollBar()->maximum();
    }
    void Filter(const QString& text, bool regex = false, bool matchCase = false) {
        form->findChild<QCheckBox*>("chkQuickFilterRegex")->setChecked(regex);
        form->findChild<QCheckBox*>("chkQuickFilterCase")->setChecked(matchCase);
        Field()->setText(text);
        Bar().ApplyNow();
        QApplication::processEvents();
    }

    std::unique_ptr<FrmMain> form;
};

TEST_F(LiveViewTest, FollowOptionAndToolbarToggleShareOneCheckedAction) {
    QAction* follow = form->commands().Action("mnuOptionsFollow");
    ASSERT_NE(follow, nullptr);
    EXPECT_EQ(follow->text(), "Follow New Lines");
    EXPECT_TRUE(follow->isChecked());
    EXPECT_TRUE(form->Menu("mnuOptions")->actions().contains(follow));
    auto* bar = form->findChild<QToolBar*>("tbrLive");
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->actions().contains(follow));
}

TEST_F(LiveViewTest, FollowingScrollsOncePerBatchPausesOnScrollUpAndResumesAtTheEnd) {
    viewer::TraceView* follower = View();
    SendMany(300);
    Settle();
    EXPECT_GT(VBar()->maximum(), 0);
    EXPECT_TRUE(AtBottom(View()));
    const int scrolls = follower->FollowScrolls();
    SendMany(300, 301);  // one batch: one scroll
    Settle();
    EXPECT_EQ(follower->FollowScrolls(), scrolls + 1);
    EXPECT_TRUE(AtBottom(View()));
    EXPECT_EQ(Trace().Selected(), 0);  // following never selects

    // Scrolling up pauses: new lines leave the view where the user put it.
    VBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_TRUE(follower->IsFollowPaused());
    const int kept = VBar()->value();
    SendMany(50, 601);
    Settle();
    EXPECT_EQ(VBar()->value(), kept);
    // The pause shows beside Follow, with the lines that came meanwhile.
    auto* paused = form->findChild<QLabel*>("lblFollowPaused");
    ASSERT_NE(paused, nullptr);
    EXPECT_TRUE(paused->isVisible());
    EXPECT_EQ(paused->text(), "Paused: 50 new lines");

    // End goes to the last line and resumes.
    View()->setFocus();
    QTest::keyClick(View(), Qt::Key_End);
    EXPECT_FALSE(follower->IsFollowPaused());
    QApplication::processEvents();  // the toolbar lays its widgets out
    EXPECT_FALSE(paused->isVisible());
    SendMany(50, 651);
    Settle();
    EXPECT_TRUE(AtBottom(View()));
    EXPECT_EQ(Trace().Selected(), 650);  // End selected that line; arrivals did not move it

    // Selecting a line above pauses; the Last command resumes.
    Trace().Select(10);
    EXPECT_TRUE(follower->IsFollowPaused());
    SendMany(20, 701);
    Settle();
    EXPECT_FALSE(AtBottom(View()));
    form->commands().Run("mnuSearchBrowseLast");
    EXPECT_FALSE(follower->IsFollowPaused());
    SendMany(20, 721);
    Settle();
    EXPECT_TRUE(AtBottom(View()));

    // Unchecked, nothing scrolls; checking it again goes to the bottom.
    form->commands().Run("mnuOptionsFollow");
    VBar()->setValue(0);
    SendMany(20, 741);
    Settle();
    EXPECT_EQ(VBar()->value(), 0);
    form->commands().Run("mnuOptionsFollow");
    QApplication::processEvents();
    EXPECT_TRUE(AtBottom(View()));
}

TEST_F(LiveViewTest, QuickFilterBarHasItsControls) {
    ASSERT_NE(Field(), nullptr);
    EXPECT_EQ(Field()->accessibleName(), "Quick filter");
    EXPECT_EQ(form->findChild<QCheckBox*>("chkQuickFilterRegex")->text(), "Regular expression");
    EXPECT_EQ(form->findChild<QCheckBox*>("chkQuickFilterCase")->text(), "Match case");
    form->activateWindow();
    QAction* focus = form->commands().Action("mnuViewQuickFilter");
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->shortcut(), QKeySequence("Ctrl+L"));
    focus->trigger();
    EXPECT_TRUE(Field()->hasFocus());
    Field()->setText("abc");
    QTest::keyClick(Field(), Qt::Key_Escape);
    EXPECT_TRUE(Field()->text().isEmpty());
}

// The lines a filter must show: the matching ones and every ancestor of them, in order.
std::vector<int> Expected(const viewer::TraceTree& tree, const QRegularExpression& re) {
    std::set<int> keep;
    for (int i = 1; i <= tree.Count(); ++i) {
        if (!re.match(tree.Text(i)).hasMatch()) continue;
        for (int p = i; p != 0 && keep.insert(p).second; p = tree.Parent(p)) {
        }
    }
    return {keep.begin(), keep.end()};
}

TEST_F(LiveViewTest, QuickFilterKeepsMatchesAndTheirAncestorsWhileTenThousandArrive) {
    Send(0, 1, "before the run");
    Filter("total|amount", true);
    ASSERT_NE(Bar().FilteredView(), nullptr);
    EXPECT_FALSE(View()->isVisible());
    viewer::TraceView* filtered = Bar().FilteredView();
    ASSERT_NE(filtered, nullptr);
    EXPECT_TRUE(filtered->isVisible());
    // 10,000 messages in formulas nested up to four deep, some never closed.
    int sent = 1;
    for (int round = 0; sent < 10000; ++round) {
        const int depth = round % 5;
        for (int d = 0; d < depth; ++d) Send(6, ++sent, QStringLiteral("@Formula%1").arg(d));
        Send(4, ++sent, round % 7 == 0 ? QStringLiteral("Total = %1").arg(round) : QStringLiteral("x = 1"));
        Send(0, ++sent, round % 11 == 0 ? QStringLiteral("AMOUNT ok") : QStringLiteral("plain"));
        for (int d = 0; d < depth - (round % 3 == 0 ? 1 : 0); ++d) Send(7, ++sent, QString());
        if (round % 50 == 0) Settle();  // matched as they arrive, not only at the end
    }
    Settle();
    const std::vector<int> expected =
        Expected(Trace(), QRegularExpression("total|amount", QRegularExpression::CaseInsensitiveOption));
    const viewer::QuickFilter& filter = Bar().Filter();
    viewer::TraceTree* shown = filter.Filtered();
    ASSERT_EQ(shown->Count(), int(expected.size()));
    for (int f = 1; f <= shown->Count(); ++f) {
        const int s = filter.SourceLine(f);
        ASSERT_EQ(s, expected[std::size_t(f - 1)]) << f;
        EXPECT_EQ(&shown->Message(f), &Trace().Message(s));
        EXPECT_EQ(filter.SourceLine(shown->Parent(f)), Trace().Parent(s)) << f;
    }
    // The view shows them all, and the bar says how many of how many.
    EXPECT_EQ(Bar().FilteredView()->Rows().Count(), shown->Count());
    auto* count = Bar().findChild<QLabel*>("lblQuickFilterCount");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->text(), QStringLiteral("%1 of %2 lines")
                                 .arg(QLocale().toString(shown->Count()), QLocale().toString(Trace().Count())));
}

// From a line of the quick filter to its place in the whole trace: the filter goes, the same
// message is selected in the default page.
TEST_F(LiveViewTest, GoToLineInTraceLeavesTheFilterForTheSameMessage) {
    for (int i = 0; i < 50; ++i) Send(0, i, i == 37 ? QStringLiteral("the one") : QStringLiteral("other %1").arg(i));
    Settle();
    EXPECT_FALSE(Live().GoToLineInTrace());  // the default page itself: nothing to go to
    Filter("the one", false);
    viewer::TraceTree* shown = Bar().Filter().Filtered();
    ASSERT_NE(shown, nullptr);
    ASSERT_EQ(shown->Count(), 1);
    shown->Select(1);
    ASSERT_TRUE(form->commands().Run("mnuSearchGoToTrace"));
    EXPECT_FALSE(Bar().Filter().IsActive());
    EXPECT_EQ(Trace().Selected(), 38);
    EXPECT_EQ(Trace().Message(38).Message(), "the one");
}

TEST_F(LiveViewTest, InvalidPatternShowsItsErrorAndFiltersNothing) {
    SendMany(10);
    Filter("line (", true);
    auto* error = form->findChild<QLabel*>("lblQuickFilterError");
    ASSERT_NE(error, nullptr);
    EXPECT_FALSE(error->text().isEmpty());
    EXPECT_EQ(Bar().FilteredView(), nullptr);
    EXPECT_TRUE(View()->isVisible());
    Filter("line [0-9]$", true);  // valid again: filters, error gone
    EXPECT_TRUE(error->text().isEmpty());
    ASSERT_NE(Bar().FilteredView(), nullptr);
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 9);
}

TEST_F(LiveViewTest, ClearingRestoresThePageWithSelectionAndExpansion) {
    Send(6, 1, "@Outer");
    Send(0, 2, "inside one");
    Send(6, 3, "@Inner");
    Send(0, 4, "inside two");
    Send(7, 5, "");
    Send(7, 6, "");
    Send(0, 7, "after");
    Settle();
    Trace().SetExpanded(3, false);
    Trace().Select(7);
    Settle();
    ASSERT_FALSE(View()->Rows().IsShown(4));

    Filter("two");
    ASSERT_NE(Bar().FilteredView(), nullptr);
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 3);  // @Outer, @Inner, inside two
    EXPECT_EQ(Trace().Count(), 7);  // the page's own tree is untouched
    QTest::keyClick(Field(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_EQ(Bar().FilteredView(), nullptr);
    EXPECT_TRUE(View()->isVisible());
    EXPECT_FALSE(Trace().IsExpanded(3));
    EXPECT_FALSE(View()->Rows().IsShown(4));
    EXPECT_TRUE(View()->Rows().IsShown(3));
    EXPECT_EQ(Trace().Selected(), 7);
    EXPECT_EQ(View()->CurrentLine(), 7);
}

TEST_F(LiveViewTest, QuickFilterFollowsDeletionClearingAndPlainTextCase) {
    SendMany(20);
    Filter("LINE 1", false, true);  // match case: nothing
    ASSERT_NE(Bar().Filter().Filtered(), nullptr);
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 0);
    Filter("LINE 1");  // 1, 10..19
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 11);
    // A line chosen among the filtered ones is the page's line: Delete removes it.
    Bar().Filter().Filtered()->Select(2);  // line 10
    QApplication::processEvents();
    EXPECT_EQ(Trace().Selected(), 10);
    form->commands().Run("mnuEditDelete");
    EXPECT_EQ(Trace().Count(), 19);
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 10);
    EXPECT_EQ(Bar().Filter().SourceLine(2), 10);  // line 11, renumbered
    SendMany(5, 100);  // 100..104 match "line 1"
    Settle();
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 15);
    form->commands().Run("mnuEditClearViewer");
    Settle();
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 0);
    Send(0, 1, "line 1 again");
    Settle();
    EXPECT_EQ(Bar().Filter().Filtered()->Count(), 1);
}


TEST_F(LiveViewTest, HighlighterMarksEveryMatchOfPlainTextAndPatterns) {
    viewer::MatchHighlighter marks;
    marks.SetPattern({"total", false, false});
    using Ranges = std::vector<std::pair<int, int>>;
    EXPECT_EQ(marks.Matches(u"Total = 5, TOTAL again"), (Ranges{{0, 5}, {11, 5}}));
    marks.SetPattern({"total", false, true});
    EXPECT_TRUE(marks.Matches(u"Total = 5, TOTAL again").empty());
    marks.SetPattern({"\\d+|x*", true, false});  // empty matches are not marked
    EXPECT_EQ(marks.Matches(u"a12b3"), (Ranges{{1, 2}, {4, 1}}));
    marks.SetPattern({"(", true, false});  // invalid: nothing
    EXPECT_TRUE(marks.Matches(u"(((").empty());
}

// Pixels of the mark colour in what the view paints.
int MarkedPixels(QWidget* view) {
    const QImage image = view->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == QColor(255, 226, 64)) ++n;
    return n;
}

TEST_F(LiveViewTest, QuickFilterMatchesAreMarkedInTheShownLines) {
    SendMany(5);
    Send(0, 6, "the needle is here");
    Settle();
    EXPECT_EQ(MarkedPixels(View()), 0);
    Filter("needle");
    viewer::TraceView* filtered = Bar().FilteredView();
    ASSERT_NE(filtered, nullptr);
    Settle();
    EXPECT_GT(MarkedPixels(filtered), 20);
    Bar().ClearField();
    Settle();
    EXPECT_EQ(MarkedPixels(View()), 0);
}

TEST_F(LiveViewTest, MarkedLinesKeepTheirMarkersInTheQuickFilterView) {
    SendMany(6);
    Settle();
    Trace().Select(4);
    form->commands().Run("mnuSearchMarkToggle");
    Filter("line [2-5]", true);
    viewer::TraceView* filtered = Bar().FilteredView();
    ASSERT_NE(filtered, nullptr);
    Settle();
    const QImage image = filtered->grab().toImage();
    int blue = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < 12; ++x)
            if (image.pixelColor(x, y) == QColor(0x1E, 0x78, 0xD2)) ++blue;
    EXPECT_GT(blue, 10);
}

TEST_F(LiveViewTest, FindNextAndPreviousMatchGoRoundTheEndsWithANote) {
    Send(0, 1, "alpha");
    Send(0, 2, "match one");
    Send(0, 3, "beta");
    Send(0, 4, "match two");
    Send(0, 5, "gamma");
    form->commands().Run("mnuViewFindNextMatch");
    EXPECT_TRUE(Live().NoteText().startsWith("Nothing to find"));
    Filter("match");
    viewer::TraceTree* shown = Bar().Filter().Filtered();
    ASSERT_NE(shown, nullptr);
    form->commands().Run("mnuViewFindNextMatch");
    EXPECT_EQ(Bar().Filter().SourceLine(shown->Selected()), 2);
    EXPECT_EQ(Trace().Selected(), 2);
    form->commands().Run("mnuViewFindNextMatch");
    EXPECT_EQ(Trace().Selected(), 4);
    EXPECT_EQ(Live().NoteText(), "");
    form->commands().Run("mnuViewFindNextMatch");  // round the end
    EXPECT_EQ(Trace().Selected(), 2);
    EXPECT_EQ(Live().NoteText(), "Passed the last line: continued from the first.");
    form->commands().Run("mnuViewFindPreviousMatch");  // round the start
    EXPECT_EQ(Trace().Selected(), 4);
    EXPECT_EQ(Live().NoteText(), "Passed the first line: continued from the last.");
    Field()->setText("nothing like it");
    Bar().ApplyNow();
    form->commands().Run("mnuViewFindNextMatch");
    EXPECT_EQ(Live().NoteText(), "No line matches \"nothing like it\".");
}

TEST_F(LiveViewTest, FindMatchStepsOverTheWholePageWithoutAFilter) {
    viewer::TraceTree tree;
    for (int i = 1; i <= 6; ++i)
        tree.Append(0, MessageSink::CreateEx(0, i, i % 3 == 0 ? QStringLiteral("hit") : QStringLiteral("miss")), 0);
    const viewer::QuickPattern hit{"hit", false, false};
    EXPECT_EQ(viewer::FindMatch(tree, hit, 0, true).line, 3);
    EXPECT_EQ(viewer::FindMatch(tree, hit, 0, false).line, 6);
    EXPECT_FALSE(viewer::FindMatch(tree, hit, 0, false).wrapped);
    EXPECT_EQ(viewer::FindMatch(tree, hit, 3, true).line, 6);
    const viewer::MatchStep round = viewer::FindMatch(tree, hit, 6, true);
    EXPECT_EQ(round.line, 3);
    EXPECT_TRUE(round.wrapped);
    const viewer::MatchStep back = viewer::FindMatch(tree, hit, 3, false);
    EXPECT_EQ(back.line, 6);
    EXPECT_TRUE(back.wrapped);
    // The only match is the start line: found again after going round.
    const viewer::QuickPattern one{"^00003", true, false};
    EXPECT_EQ(viewer::FindMatch(tree, one, 3, true).line, 3);
    EXPECT_EQ(viewer::FindMatch(tree, {"zzz", false, false}, 3, true).line, 0);
}


TEST_F(LiveViewTest, ALineNested255LevelsDeepCanBeScrolledToAndRead) {
    // Formulas that never exit: each entry and the line after it go one level deeper.
    for (int level = 0; level < 255; ++level) {
        Send(6, level, QStringLiteral("@F%1").arg(level));
        Send(0, level, QStringLiteral("in F%1").arg(level));
    }
    const QString message = QStringLiteral("x").repeated(500) + QStringLiteral("THE END");
    Send(0, 256, message);
    const int last = Trace().Count();
    ASSERT_EQ(Trace().Level(last), 255);
    Trace().Select(last);
    Settle();
    View()->viewport()->repaint();  // painting the line measures it
    Settle();
    const int needed = View()->TextLeft(last) + View()->fontMetrics().horizontalAdvance(Trace().Text(last));
    EXPECT_GE(View()->WidestLine(), needed);
    QScrollBar* sideways = View()->horizontalScrollBar();
    EXPECT_GE(sideways->maximum(), needed - View()->viewport()->width());
    // Shift with the wheel scrolls sideways.
    const QPoint at = View()->viewport()->rect().center();
    QWheelEvent wheel(at, View()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View()->viewport(), &wheel);
    EXPECT_GT(sideways->value(), 0);
    // The scroll bar reaches the end of the widest line.
    EXPECT_EQ(sideways->maximum(), View()->WidestLine() - View()->viewport()->width());
    // With a time column in front, the line moves right by its width.
    form->commands().Action("mnuViewTime")->trigger();
    View()->viewport()->repaint();
    Settle();
    EXPECT_GE(View()->WidestLine(), needed + 40);
    EXPECT_EQ(sideways->maximum(), View()->WidestLine() - View()->viewport()->width());
    // Going from line to line never scrolls sideways: the time column stays in sight.
    sideways->setValue(0);
    Trace().Select(3);
    QTest::keyClick(View(), Qt::Key_Down);
    Trace().Select(last);
    Settle();
    EXPECT_EQ(sideways->value(), 0);
}

TEST_F(LiveViewTest, DetailPaneShowsTheWholeSelectedLineAndIsRemembered) {
    QAction* toggle = form->commands().Action("mnuViewDetailPane");
    if (!toggle) toggle = form->findChild<QAction*>("mnuViewDetailPane");
    ASSERT_NE(toggle, nullptr);
    EXPECT_TRUE(form->Menu("mnuView")->actions().contains(toggle));
    QDockWidget* dock = Live().DetailDock();
    ASSERT_NE(dock, nullptr);
    EXPECT_FALSE(dock->isVisible());
    const QRect viewerAlone = form->controls().picViewer->geometry();
    toggle->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(dock->isVisible());
    // The trace and lower panes make room for it.
    EXPECT_LE(form->controls().picViewer->geometry().right(), form->controls().client->width());
    EXPECT_LT(form->controls().picViewer->width(), viewerAlone.width());

    const QString longMessage = QStringLiteral("word ").repeated(104) + QStringLiteral("end");
    Send(6, 7, "@Outer");
    Send(0, 7, "inside");
    Send(8, 0, "Sub.rpt");
    Send(2, 7, longMessage);
    Send(9, 0, "");
    Send(7, 0, "");
    Trace().Select(4);
    QApplication::processEvents();
    const QString text = Live().Details().Text();
    EXPECT_TRUE(text.contains("Record number: 7")) << text.toStdString();
    EXPECT_TRUE(text.contains("Type: Error (2)"));
    EXPECT_TRUE(text.contains("Level: 2"));
    EXPECT_TRUE(text.contains("Formula path: @Outer > Sub.rpt"));
    EXPECT_TRUE(text.endsWith(longMessage));
    auto* edit = form->findChild<QPlainTextEdit*>("txtDetail");
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->isReadOnly());
    EXPECT_TRUE(edit->textInteractionFlags() & Qt::TextSelectableByMouse);

    // Hidden, another line chosen, shown again: the pane shows that line, not the one before;
    // after Clear All it shows nothing.
    toggle->trigger();
    Trace().Select(2);
    toggle->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(Live().Details().Text().endsWith("inside")) << Live().Details().Text().toStdString();
    ASSERT_TRUE(form->commands().Run("mnuEditClearDisplay"));
    QApplication::processEvents();
    EXPECT_EQ(Live().Details().Text(), QString());

    // A new window opens it again.
    form.reset();
    form = std::make_unique<FrmMain>();
    form->show();
    QApplication::processEvents();
    EXPECT_TRUE(Live().DetailDock()->isVisible());
}


// A clock the test sets; the store reads it for each message.
class TestClock : public Clock {
public:
    QDateTime nowUtc() const override { return now; }
    QDateTime now;
};

TEST_F(LiveViewTest, TimeColumnsShowExactReceiptTimesAcrossMidnightAndADay) {
    TestClock clock;
    setClock(&clock);
    const QDateTime evening(QDate(2026, 12, 7), QTime(23, 59, 59, 900), Qt::LocalTime);
    clock.now = evening.toUTC();
    Send(0, 1, "late");
    clock.now = evening.addMSecs(200).toUTC();  // past midnight
    Send(0, 2, "early");
    clock.now = evening.addSecs(25 * 3600).addMSecs(200).toUTC();  // a day and an hour later
    Send(0, 3, "next day");
    setClock(nullptr);
    // The line text keeps its UTC time stamp without seconds.
    EXPECT_EQ(Trace().StampOf(1), viewer::StampFromText(evening.toUTC().time().toString("HH:mm:zzz")));
    EXPECT_EQ(Trace().ReceivedAt(2) - Trace().ReceivedAt(1), 200'000);

    auto* header = View()->findChild<QWidget*>("traceHeader");
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(View()->TimeColumns().empty());  // off by default
    EXPECT_FALSE(header->isVisible());
    for (const char* name : {"mnuViewTime", "mnuViewDate", "mnuViewElapsed", "mnuViewDelta"}) {
        QAction* action = form->commands().Action(name);
        ASSERT_NE(action, nullptr) << name;
        EXPECT_TRUE(form->Menu("mnuView")->actions().contains(action));
        action->trigger();
    }
    Settle();
    using viewer::TimeColumn;
    EXPECT_EQ(View()->TimeColumns(),
              (std::vector<TimeColumn>{TimeColumn::Date, TimeColumn::Time, TimeColumn::Elapsed, TimeColumn::Delta}));
    EXPECT_TRUE(header->isVisible());
    auto cell = [&](int line, TimeColumn column) { return viewer::TimeColumnText(Trace(), line, column); };
    EXPECT_EQ(cell(1, TimeColumn::Date), "2026-12-07");
    EXPECT_EQ(cell(2, TimeColumn::Date), "2026-12-08");
    EXPECT_EQ(cell(3, TimeColumn::Date), "2026-12-09");
    EXPECT_EQ(cell(1, TimeColumn::Time), "23:59:59.900");
    EXPECT_EQ(cell(2, TimeColumn::Time), "00:00:00.100");
    EXPECT_EQ(cell(3, TimeColumn::Time), "01:00:00.100");
    EXPECT_EQ(cell(1, TimeColumn::Elapsed), "0:00:00.000");
    EXPECT_EQ(cell(2, TimeColumn::Elapsed), "0:00:00.200");
    EXPECT_EQ(cell(3, TimeColumn::Elapsed), "25:00:00.200");
    EXPECT_EQ(cell(1, TimeColumn::Delta), "+0.000000");
    EXPECT_EQ(cell(2, TimeColumn::Delta), "+0.200000");
    EXPECT_EQ(cell(3, TimeColumn::Delta), "+90000.000000");

    // Remembered by the next window; turning them off gives the plain trace again.
    form.reset();
    form = std::make_unique<FrmMain>();
    EXPECT_EQ(View()->TimeColumns().size(), 4u);
    Live().SetTimeColumns({});
    EXPECT_TRUE(View()->TimeColumns().empty());
    EXPECT_TRUE(View()->findChild<QWidget*>("traceHeader")->isHidden());
}

TEST_F(LiveViewTest, ReceiptTimesSurviveRemovalAndCopies) {
    viewer::TraceTree tree;
    for (int i = 0; i < 1000; ++i) tree.Append(0, MessageSink::CreateEx(0, i, u"m"), 0, 1'000'000 + i);
    EXPECT_EQ(tree.ReceivedAt(1000), 1'000'999);
    tree.RemoveSubtree(10);
    EXPECT_EQ(tree.ReceivedAt(10), 1'000'010);
    viewer::TraceTree copy;
    copy.AppendCopy(tree, 10);
    EXPECT_EQ(copy.ReceivedAt(1), 1'000'010);
    EXPECT_EQ(viewer::ElapsedText(-1'500'000), "-0:00:01.500");
    EXPECT_EQ(viewer::DeltaText(-250), "-0.000250");
    EXPECT_EQ(viewer::LocalTimeText(0), "");
}

}  // namespace
}  // namespace tw::window

#include "tw/display/timeline_view.hpp"
#include "tw/window/profile_view.hpp"

#include <QStandardItemModel>
#include <QTableView>

namespace tw::window {
namespace {

// The profile pane through its object names: the slowest formula first with its times, the
// entry of its slowest call selected from the table; Nest by Calls re-nests the trace.
TEST_F(LiveViewTest, ProfilePaneAndNestByCalls) {
    TestClock clock;
    setClock(&clock);
    const QDateTime t0(QDate(2026, 12, 8), QTime(14, 0), Qt::UTC);
    auto at = [&](int ms, int type, int record, const char* text) {
        clock.now = t0.addMSecs(ms);
        Send(type, record, QString::fromLatin1(text));
    };
    at(0, 6, 1, "{@Total}");
    at(10, 6, 1, "{@Tax}");  // inside {@Total}: drawn as its sibling unless nested by calls
    at(20, 4, 1, "x");
    at(410, 7, 0, "");
    at(500, 7, 0, "");
    at(600, 6, 2, "{@Tax}");
    at(650, 7, 0, "");
    setClock(nullptr);
    Settle();

    QAction* show = form->findChild<QAction*>("mnuViewProfile");
    ASSERT_NE(show, nullptr);
    EXPECT_TRUE(form->Menu("mnuView")->actions().contains(show));
    show->trigger();
    QApplication::processEvents();
    auto* table = form->findChild<QTableView*>("tblProfile");
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->accessibleName(), "Profile");
    const QAbstractItemModel* model = table->model();
    ASSERT_EQ(model->rowCount(), 2);
    auto cell = [&](int row, int column) { return model->index(row, column).data().toString(); };
    EXPECT_EQ(cell(0, 0), "{@Total}");
    EXPECT_EQ(cell(0, 2), "500.0 ms");
    EXPECT_EQ(cell(0, 3), "100.0 ms");  // less the 400 ms of {@Tax} inside it
    EXPECT_EQ(cell(1, 0), "{@Tax}");
    EXPECT_EQ(cell(1, 1), "2");
    EXPECT_EQ(cell(1, 6), "400.0 ms");
    emit table->doubleClicked(model->index(1, 0));
    EXPECT_EQ(Trace().Selected(), 2);  // the entry of the slowest {@Tax}
    EXPECT_NE(form->findChild<QTableView*>("tblByRecord"), nullptr);

    // The timeline: {@Total} across the whole width on the first row; a click there selects its entry.
    form->findChild<QAction*>("mnuViewTimeline")->trigger();
    auto* timeline = form->findChild<viewer::TimelineView*>("timelineView");
    ASSERT_NE(timeline, nullptr);
    timeline->resize(650, 100);
    timeline->ShowAll();
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(250, viewer::TimelineView::kRowHeight / 2));
    EXPECT_EQ(Trace().Selected(), 1);
    EXPECT_EQ(timeline->CallAt(QPoint(640, viewer::TimelineView::kRowHeight / 2)), 2);  // the later {@Tax}

    settings::Remove(QStringLiteral("view/nestByCalls"));
    QAction* nest = form->commands().Action("mnuViewNestByCalls");
    ASSERT_NE(nest, nullptr);
    EXPECT_FALSE(nest->isChecked());
    EXPECT_EQ(Trace().Parent(2), 0);
    nest->trigger();
    EXPECT_EQ(Trace().Parent(2), 1);
    EXPECT_EQ(Trace().Parent(3), 2);
    nest->trigger();
    EXPECT_EQ(Trace().Parent(2), 0);
    settings::Remove(QStringLiteral("view/nestByCalls"));
}

}  // namespace
}  // namespace tw::window

#include "tw/window/compare_view.hpp"

#include <QPushButton>
#include <QShortcut>

namespace tw::window {
namespace {

// Two runs side by side: a changed value, a line only on the left, a whole call only on the
// right; the gaps opposite keep the rows together, F8 steps from difference to difference.
TEST(CompareWindowTest, RunsLinedUpSideBySideWithDifferencesToStepThrough) {
    using viewer::DiffMessage;
    const std::vector<DiffMessage> a{{6, 1, "{@Total}"}, {4, 1, "Total = 10"}, {0, 1, "only here"}, {7, 0, ""}, {0, 2, "end"}};
    const std::vector<DiffMessage> b{{6, 1, "{@Total}"}, {4, 1, "Total = 11"}, {7, 0, ""},
                                     {6, 2, "{@New}"},   {7, 0, ""},             {0, 2, "end"}};
    CompareWindow window(a, "a.txt", b, "b.txt");
    window.show();
    EXPECT_EQ(window.Side(0).Count(), window.Side(1).Count());
    EXPECT_EQ(window.DifferenceCount(), 2);
    EXPECT_EQ(window.Side(0).BackColour(2), window.Side(1).BackColour(2));  // the changed pair
    EXPECT_EQ(window.Side(1).Message(3).Message(), "");                    // the gap opposite "only here"
    auto* status = window.findChild<QLabel*>("lblCompareStatus");
    ASSERT_NE(status, nullptr);
    bool f8 = false;
    for (const QShortcut* key : window.findChildren<QShortcut*>()) f8 = f8 || key->key() == QKeySequence(Qt::Key_F8);
    EXPECT_TRUE(f8);
    window.findChild<QPushButton*>("cmdNextDifference")->click();
    EXPECT_EQ(status->text(), "difference 1 of 2");
    EXPECT_EQ(window.Side(0).Selected(), 2);
    window.findChild<QPushButton*>("cmdNextDifference")->click();
    EXPECT_EQ(status->text(), "difference 2 of 2");
    EXPECT_EQ(window.Side(1).Message(window.Side(1).Selected()).Message(), "{@New}");
    auto* left = window.findChild<viewer::TraceView*>("tvwCompareA");
    auto* right = window.findChild<viewer::TraceView*>("tvwCompareB");
    ASSERT_TRUE(left && right);
    EXPECT_GT(MarkedPixels(left->viewport()), 0);  // "0" against "1" in "Total = 10"
    left->verticalScrollBar()->setValue(left->verticalScrollBar()->maximum());
    EXPECT_EQ(right->verticalScrollBar()->value(), left->verticalScrollBar()->value());
    EXPECT_TRUE(CompareWindow(a, "a", a, "a").findChild<QLabel*>("lblCompareStatus")->text() == "The runs agree.");
}

}  // namespace
}  // namespace tw::window
