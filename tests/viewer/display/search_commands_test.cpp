// The Search menu and its toolbar buttons on the real main window: which object each command
// reaches, Find Next before any Find, and the bookmark's life across clearing.

#include "display_test_support.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/display/bookmark.hpp"
#include "tw/display/dlg_filter.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/toolbar.hpp"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

using viewer::MessageSink;

class SearchCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(w)) m->hide();
        form.reset();
    }
    void Send(int type, int record, const QString& text) {
        form->MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text));
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    void Run(const char* name) { ASSERT_TRUE(form->commands().Run(name)) << name; }
    void Click(const char* key) {
        QAction* button = ToolbarButton(*form->controls().tbrToolbar, key);
        ASSERT_NE(button, nullptr) << key;
        button->trigger();
    }
    int SelectedType() {
        const int line = Trace().Selected();
        return line ? Trace().Message(line).MessageType() : -1;
    }

    tw::test::BoxRecorder boxes;
    std::unique_ptr<FrmMain> form;
};

TEST_F(SearchCommandsTest, BrowseItemsAndMovesReachTheNavigator) {
    // One line of each browsed type after a first plain line; entries stay at the top level.
    Send(0, 1, "first");
    for (int type : {4, 1, 2, 3, 8, 6, 14, 0}) Send(type, 10 + type, QStringLiteral("t%1").arg(type));
    Send(7, 50, "exit");
    Send(0, 51, "tail");

    const std::pair<const char*, int> browse[] = {
        {"mnuSearchBrowseObject", 4}, {"mnuSearchBrowseNote", 1},     {"mnuSearchBrowseError", 2},
        {"mnuSearchBrowseWarning", 3}, {"mnuSearchBrowseFormula", 6}, {"mnuSearchBrowseCheckPoint", 14},
        {"mnuSearchBrowseMessage", 0}};
    for (const auto& [name, type] : browse) {
        Trace().Select(1);
        Run(name);
        EXPECT_EQ(SelectedType(), type) << name;
    }
    Click("First");
    EXPECT_EQ(Trace().Selected(), 1);
    Click("Next");
    Click("Next");
    EXPECT_EQ(Trace().Selected(), 3);
    Click("Previous");
    EXPECT_EQ(Trace().Selected(), 2);
    Click("Last");
    EXPECT_EQ(Trace().Selected(), Trace().Count());
    Run("mnuSearchBrowseFirst");
    Click("Checkpoint");
    EXPECT_EQ(SelectedType(), 14);
    Run("mnuSearchBrowsePrevious");
    Run("mnuSearchBrowseNext");
    Run("mnuSearchBrowseLast");
    EXPECT_EQ(Trace().Selected(), Trace().Count());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(SearchCommandsTest, FindNextBeforeAnyFindOpensFind) {
    Send(0, 1, "alpha");
    Send(2, 2, "disk error");
    Send(2, 3, "another disk error");
    Send(0, 4, "tail");
    QString shown;
    tw::test::OnNextModal([&](QWidget* modal) {
        shown = modal->objectName();
        modal->findChild<QLineEdit*>(QStringLiteral("txtFind"))->setText(QStringLiteral("DISK"));
        tw::test::ClickButton(modal, 0);
    });
    Click("FindNext");
    EXPECT_EQ(shown, QStringLiteral("dlgFind"));
    EXPECT_EQ(Trace().Selected(), 2);
    // Now F3 repeats without the dialog.
    Run("mnuSearchFindNext");
    EXPECT_EQ(Trace().Selected(), 3);
    Run("mnuSearchFindNext");
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].caption, QStringLiteral("Find"));
    // Find... shows the dialog again, with the last text.
    QString kept;
    tw::test::OnNextModal([&](QWidget* modal) {
        kept = modal->findChild<QLineEdit*>(QStringLiteral("txtFind"))->text();
        tw::test::ClickButton(modal, 1);
    });
    Click("Find");
    EXPECT_EQ(kept, QStringLiteral("DISK"));
}

TEST_F(SearchCommandsTest, GotoThroughTheToolbar) {
    for (int r : {3, 7, 7}) Send(0, r, "line");
    tw::test::OnNextModal([](QWidget* modal) {
        EXPECT_EQ(modal->objectName(), QStringLiteral("dlgGoto"));
        modal->findChild<QLineEdit*>(QStringLiteral("txtRecordNumber"))->setText(QStringLiteral("7"));
        tw::test::ClickButton(modal, 0);
    });
    Click("GotoRec");
    EXPECT_EQ(Trace().Selected(), 2);
}

TEST_F(SearchCommandsTest, JumpWithoutBookmarkAndClearingDropsIt) {
    for (int r = 1; r <= 5; ++r) Send(0, r, QStringLiteral("line %1").arg(r));
    Trace().Select(2);
    Run("mnuSearchJump");  // no bookmark object yet: nothing
    EXPECT_EQ(Trace().Selected(), 2);
    Run("mnuSearchBookmark");
    EXPECT_EQ(Trace().BackColour(2), viewer::kBookmarkBackColour);
    Trace().Select(5);
    Run("mnuSearchJump");
    EXPECT_EQ(Trace().Selected(), 2);

    // Copy every line to a filter page, clear that page: the bookmark is dropped, the marked
    // line of the default page keeps its colours.
    tw::test::OnNextModal([](QWidget* modal) {
        for (auto* option : modal->findChildren<QRadioButton*>(QStringLiteral("optView")))
            if (option->property("index").toInt() == 0) option->setChecked(true);
        modal->findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(QStringLiteral("All"));
        modal->findChild<QLineEdit*>(QStringLiteral("txtFrom"))->setText(QStringLiteral("1"));
        modal->findChild<QLineEdit*>(QStringLiteral("txtTo"))->setText(QStringLiteral("5"));
        tw::test::ClickButton(modal, 0);
    });
    Click("Filter");
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(form->Viewer().CurrentPage(), 1);
    EXPECT_EQ(form->Viewer().TabWidget()->tabText(1), QStringLiteral("All"));
    EXPECT_EQ(form->Viewer().Tree(1).Count(), 5);
    EXPECT_EQ(form->findChildren<viewer::DlgFilter*>().size(), 0);  // unloaded after use
    Run("mnuEditClearViewer");
    EXPECT_EQ(form->Viewer().CurrentPage(), 0);
    Trace().Select(4);
    Run("mnuSearchJump");
    EXPECT_EQ(Trace().Selected(), 4);
    EXPECT_EQ(Trace().BackColour(2), viewer::kBookmarkBackColour);

    // A new bookmark, then Clear All: dropped again, Jump does nothing.
    Run("mnuSearchBookmark");
    Trace().Select(1);
    Run("mnuEditClearDisplay");
    EXPECT_EQ(Trace().Count(), 0);
    Send(0, 9, "after");
    Trace().Select(1);
    Run("mnuSearchJump");
    EXPECT_EQ(Trace().Selected(), 1);
    EXPECT_EQ(Trace().BackColour(1), viewer::kDefaultColour);
}

TEST_F(SearchCommandsTest, FilterCancelledChangesNothing) {
    Send(0, 1, "x");
    tw::test::OnNextModal([](QWidget* modal) { tw::test::ClickButton(modal, 1); });
    Run("mnuSearchFilter");
    EXPECT_EQ(form->Viewer().CurrentPage(), 0);
    EXPECT_FALSE(form->Viewer().TabWidget()->isTabVisible(1));
    EXPECT_EQ(Trace().BackColour(1), viewer::kDefaultColour);
}

}  // namespace
}  // namespace tw::window
