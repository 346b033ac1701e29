// The main window driven through its commands: what the trace page, the scratch list and the
// status panels show afterwards.

#include "tw/core/message_manager.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/scratch_manager.hpp"
#include "tw/panes/watch.hpp"
#include "tw/panes/watch_manager.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/status_panels.hpp"
#include "tw/window/toolbar.hpp"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

using viewer::MessageSink;

class WindowCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(w)) m->hide();
    }
    void Send(int type, int record, const QString& text) {
        form->MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text));
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    QString Panel(int i) { return form->statusPanels().Text(i); }
    void Run(const char* name) { ASSERT_TRUE(form->commands().Run(name)) << name; }
    void Click(const char* key) {
        QAction* button = ToolbarButton(*form->controls().tbrToolbar, key);
        ASSERT_NE(button, nullptr) << key;
        button->trigger();
    }

    std::unique_ptr<FrmMain> form;
};

TEST_F(WindowCommandsTest, ListensFromLoadWithOnlyTheDefaultPage) {
    EXPECT_TRUE(form->MessageManager().ProcessMessages());
    EXPECT_EQ(Panel(2), "Ready.");
    EXPECT_EQ(form->statusPanels().Picture(2), icons::Ready);
    EXPECT_EQ(Panel(1), "");
    QTabWidget* tabs = form->Viewer().TabWidget();
    ASSERT_NE(tabs, nullptr);
    EXPECT_TRUE(form->controls().picViewer->isAncestorOf(tabs));
    EXPECT_TRUE(tabs->isTabVisible(0));
    for (int k = 1; k <= 4; ++k) EXPECT_FALSE(tabs->isTabVisible(k)) << k;
    // The accessors hand out the same objects every time.
    EXPECT_EQ(&form->MessageManager(), &form->MessageManager());
    EXPECT_EQ(&form->ScratchManager(), &form->ScratchManager());
}

TEST_F(WindowCommandsTest, StopDropsMessagesAndStartResumesFromToolbarAndMenu) {
    Send(0, 1, "first");
    Click("Stop");
    EXPECT_EQ(Panel(2), "Stopped.");
    EXPECT_EQ(form->statusPanels().Picture(2), icons::Stopped);
    Send(0, 2, "dropped");
    EXPECT_EQ(Trace().Count(), 1);
    EXPECT_EQ(Panel(1), "1 Messages.");
    Run("mnuEditStop");  // twice is harmless
    EXPECT_EQ(Panel(2), "Stopped.");
    Run("mnuEditStart");
    EXPECT_EQ(Panel(2), "Ready.");
    Send(0, 3, "third");
    ASSERT_EQ(Trace().Count(), 2);
    EXPECT_TRUE(Trace().Text(2).startsWith("00003  "));
    EXPECT_EQ(Panel(1), "2 Messages.");
    Click("Stop");
    form->tbrToolbar_ButtonClick("start");
    EXPECT_EQ(Panel(2), "Ready.");
    EXPECT_EQ(form->windowTitle(), "Tracewell");
}

TEST_F(WindowCommandsTest, DeleteRemovesTheSelectedLineWithItsNestedLines) {
    Send(0, 1, "M1");
    Send(6, 2, "@Total");
    Send(4, 2, "Amount = 5");
    Send(1, 2, "note");
    Send(7, 2, "");
    Send(0, 3, "M2");
    ASSERT_EQ(Trace().Count(), 6);
    Run("mnuEditDelete");  // nothing selected: nothing happens
    EXPECT_EQ(Trace().Count(), 6);
    Trace().Select(2);
    Run("mnuEditDelete");
    ASSERT_EQ(Trace().Count(), 3);
    EXPECT_TRUE(Trace().Text(1).endsWith("M1"));
    EXPECT_EQ(Trace().Message(2).MessageType(), 7);
    EXPECT_TRUE(Trace().Text(3).endsWith("M2"));
    EXPECT_EQ(Panel(1), "6 Messages.");  // Delete leaves the count as it was
    form->Viewer().FlushPending();
    const viewer::TraceView* view = form->Viewer().View(0);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Rows().Count(), 3);
}

TEST_F(WindowCommandsTest, ClearCurrentViewerEmptiesThePageAndTheCount) {
    QSignalSpy cleared(form.get(), &FrmMain::currentViewerCleared);
    for (int i = 1; i <= 3; ++i) Send(0, i, "line");
    form->ScratchManager().Add(7, "kept");
    Run("mnuEditClearViewer");
    EXPECT_EQ(Trace().Count(), 0);
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_EQ(form->ScratchManager().Count(), 1);  // other panes are not touched
    Send(0, 4, "again");
    EXPECT_EQ(Panel(1), "1 Messages.");
}

TEST_F(WindowCommandsTest, ClearScratchWindowAndClearAll) {
    viewer::ScratchManager& scratch = form->ScratchManager();
    scratch.Add(3, "three");
    scratch.Add(1, "one");
    const QAbstractItemModel* shown = form->controls().lvwScratch->model();
    ASSERT_EQ(shown, &scratch);
    EXPECT_EQ(shown->rowCount(), 2);
    Run("mnuEditClearScratch");
    EXPECT_EQ(shown->rowCount(), 0);

    Send(0, 1, "line");
    scratch.Add(3, "three");
    QSignalSpy cleared(form.get(), &FrmMain::currentViewerCleared);
    std::vector<QString> order;
    for (const char* name : {"mnuEditClearViewer", "mnuEditClearAutos", "mnuEditClearScratch",
                             "mnuEditClearWatches"})
        QObject::connect(form->commands().Action(name), &QAction::triggered, [&order, name] { order.push_back(name); });
    Run("mnuEditClearDisplay");
    EXPECT_EQ(order, (std::vector<QString>{"mnuEditClearViewer", "mnuEditClearAutos", "mnuEditClearScratch",
                                           "mnuEditClearWatches"}));
    EXPECT_EQ(Trace().Count(), 0);
    EXPECT_EQ(scratch.Count(), 0);
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(cleared.count(), 1);
}

TEST_F(WindowCommandsTest, OptionsDecideWhichPanesSeeNewMessages) {
    int autos = 0;
    int watches = 0;
    form->MessageManager().SetAutosHook([&autos](const viewer::MessageRef&) { ++autos; });
    form->MessageManager().SetWatchHook([&watches](const viewer::MessageRef&) { ++watches; });
    Send(4, 1, "a = 1");
    EXPECT_EQ(autos, 1);
    EXPECT_EQ(watches, 1);
    Run("mnuOptionsAutos");  // unchecked
    Send(4, 2, "a = 2");
    EXPECT_EQ(autos, 1);
    EXPECT_EQ(watches, 2);
    Run("mnuOptionsAutos");  // checked again: resumes with the next message only
    Run("mnuOptionsWatches");
    Send(4, 3, "a = 3");
    EXPECT_EQ(autos, 2);
    EXPECT_EQ(watches, 2);
}

TEST_F(WindowCommandsTest, RightButtonOverTraceTreesPopsTheSearchMenu) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QMenu* search = form->Menu("mnuSearch");
    QWidget* trace = form->Viewer().View(0)->viewport();
    QTest::mousePress(trace, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(search->isVisible());
    QTest::mouseRelease(trace, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(search->isVisible());
    search->hide();

    ASSERT_NE(form->Viewer().Add("Filter"), nullptr);
    QWidget* filter = form->Viewer().View(1)->viewport();
    QTest::mousePress(filter, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(search->isVisible());
    search->hide();
}

// The menu shortcuts reach the commands from anywhere in the window.
TEST_F(WindowCommandsTest, DelAndShiftDelWorkFromTheKeyboard) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Send(6, 1, "@Total");
    Send(0, 1, "inside");
    Send(7, 1, "");
    Send(0, 2, "after");
    form->ScratchManager().Add(1, "scratch");
    Trace().Select(1);
    form->Viewer().View(0)->setFocus();
    QTest::keyClick(form->Viewer().View(0), Qt::Key_Delete);
    ASSERT_EQ(Trace().Count(), 2);
    EXPECT_TRUE(Trace().Text(2).endsWith("after"));
    QTest::keyClick(form->Viewer().View(0), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Trace().Count(), 0);
    EXPECT_EQ(form->ScratchManager().Count(), 0);
    EXPECT_EQ(Panel(1), "");
}

// Del deletes a trace line only while a trace page has the focus: in the Scratch list it
// deletes nothing, in the Watches tree it deletes the selected watch, and Edit > Delete...
// still deletes the current page's selected line from wherever it is chosen.
TEST_F(WindowCommandsTest, DelKeyActsOnTheControlThatHasTheFocus) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Send(0, 1, "first");
    Send(0, 2, "second");
    form->ScratchManager().Add(1, "scratch one");
    form->ScratchManager().Add(2, "scratch two");

    QTabWidget* lower = form->controls().tabWindows;
    lower->setCurrentIndex(int(LowerPage::Scratch));
    QTreeView* scratch = form->controls().lvwScratch;
    scratch->setCurrentIndex(scratch->model()->index(0, 0));
    scratch->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return scratch->hasFocus(); }));
    QTest::keyClick(scratch, Qt::Key_Delete);
    EXPECT_EQ(Trace().Count(), 2);
    EXPECT_EQ(form->ScratchManager().Count(), 2);

    form->WatchManager().Add(viewer::Watch::Make("Total", ">", "100"));
    form->WatchManager().Add(viewer::Watch::Make("Count", "=", "3"));
    lower->setCurrentIndex(int(LowerPage::Watches));
    form->WatchManager().Select(2);
    QTreeView* watches = form->controls().tvwWatch;
    watches->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watches->hasFocus(); }));
    QTest::keyClick(watches, Qt::Key_Delete);
    EXPECT_EQ(Trace().Count(), 2);
    ASSERT_EQ(form->WatchManager().NodeCount(), 2);
    EXPECT_EQ(form->WatchManager().NodeText(2), "Count = 3");

    Trace().Select(2);
    Run("mnuEditDelete");  // the menu item, with the focus still in the Watches tree
    ASSERT_EQ(Trace().Count(), 1);
    EXPECT_TRUE(Trace().Text(1).endsWith("first"));

    Trace().Select(1);
    form->Viewer().View(0)->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Viewer().View(0)->hasFocus(); }));
    QTest::keyClick(form->Viewer().View(0), Qt::Key_Delete);
    EXPECT_EQ(Trace().Count(), 0);
}

TEST_F(WindowCommandsTest, ExitReleasesTheObjectsAndEnds) {
    Send(0, 1, "line");
    QSignalSpy unloaded(form.get(), &FrmMain::unloaded);
    Run("mnuFileExit");
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace tw::window
