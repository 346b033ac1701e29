// Marks: Toggle Mark, Next and Previous Mark with wrapping, and marks that follow their lines.

#include "tw/display/marks.hpp"

#include "tw/core/message_manager.hpp"
#include "tw/display/filter.hpp"
#include "tw/display/viewer.hpp"
#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/mark_commands.hpp"

#include <QAction>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QStringList& texts, std::ostream* out) { *out << texts.join('|').toStdString(); }

namespace tw::window {
namespace {

using viewer::MessageSink;

class MarksTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
        marks = MarksOf(*form);
        ASSERT_NE(marks, nullptr);
        for (int i = 1; i <= 6; ++i) Send(0, i, QString("line %1").arg(i));
    }
    void Send(int type, int record, const QString& text) {
        form->MessageManager().Add(MessageSink::CreateEx(qint16(type), record, text));
    }
    viewer::TraceTree& Trace() { return form->Viewer().GetDefault(); }
    void Run(const char* name) { ASSERT_TRUE(form->commands().Run(name)) << name; }
    void MarkLine(int line) {
        Trace().Select(line);
        Run("mnuSearchMarkToggle");
    }
    int Selected() { return form->Viewer().GetCurrent().Selected(); }

    std::unique_ptr<FrmMain> form;
    viewer::Marks* marks = nullptr;
};

TEST_F(MarksTest, MenuItemsFollowJumpToBookmarkWithTheirKeys) {
    QMenu* search = form->Menu("mnuSearch");
    ASSERT_NE(search, nullptr);
    QStringList names;
    for (QAction* a : search->actions()) names << a->objectName();
    const qsizetype jump = names.indexOf("mnuSearchJump");
    ASSERT_GE(jump, 0);
    EXPECT_EQ(names.mid(jump + 1, 4), (QStringList{"mnuSearchMarkToggle", "mnuSearchMarkNext",
                                                   "mnuSearchMarkPrevious", "mnuSearchMarkClear"}));
    EXPECT_EQ(form->commands().Action("mnuSearchMarkToggle")->shortcut(), QKeySequence("Ctrl+F2"));
    EXPECT_EQ(form->commands().Action("mnuSearchMarkNext")->shortcut(), QKeySequence("F2"));
    EXPECT_EQ(form->commands().Action("mnuSearchMarkPrevious")->shortcut(), QKeySequence("Shift+F2"));
    // The bookmark keeps its keys.
    EXPECT_EQ(form->commands().Action("mnuSearchBookmark")->shortcut(), QKeySequence("F5"));
}

TEST_F(MarksTest, NextAndPreviousGoRoundTheMarkedLines) {
    Run("mnuSearchMarkNext");  // no marks: nothing moves
    EXPECT_EQ(Selected(), 0);
    MarkLine(2);
    MarkLine(5);
    MarkLine(3);
    MarkLine(3);  // toggled off again
    EXPECT_EQ(marks->Count(), 2);
    Trace().Select(1);
    Run("mnuSearchMarkNext");
    EXPECT_EQ(Selected(), 2);
    Run("mnuSearchMarkNext");
    EXPECT_EQ(Selected(), 5);
    Run("mnuSearchMarkNext");
    EXPECT_EQ(Selected(), 2);  // round to the first
    Run("mnuSearchMarkPrevious");
    EXPECT_EQ(Selected(), 5);  // round to the last
    Run("mnuSearchMarkPrevious");
    EXPECT_EQ(Selected(), 2);
    Run("mnuSearchMarkClear");
    EXPECT_EQ(marks->Count(), 0);
    Run("mnuSearchMarkNext");
    EXPECT_EQ(Selected(), 2);
}

TEST_F(MarksTest, KeysWorkFromTheTrace) {
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QWidget* view = form->Viewer().View(0);
    view->setFocus();
    Trace().Select(4);
    QTest::keyClick(view, Qt::Key_F2, Qt::ControlModifier);
    EXPECT_TRUE(marks->IsMarked(Trace(), 4));
    Trace().Select(6);
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_EQ(Selected(), 4);
    Trace().Select(1);
    QTest::keyClick(view, Qt::Key_F2, Qt::ShiftModifier);
    EXPECT_EQ(Selected(), 4);
}

TEST_F(MarksTest, MarksFollowTheirLinesThroughDeletesAndFilters) {
    MarkLine(2);
    MarkLine(5);
    // Deleting line 1 moves the marked lines up; they stay marked.
    Trace().Select(1);
    Run("mnuEditDelete");
    ASSERT_EQ(Trace().Count(), 5);
    EXPECT_TRUE(marks->IsMarked(Trace(), 1));
    EXPECT_TRUE(marks->IsMarked(Trace(), 4));
    EXPECT_FALSE(marks->IsMarked(Trace(), 2));

    // A filter page shows the copies of marked lines marked.
    viewer::Filter filter;
    ASSERT_TRUE(filter.Create("Fives", "line 5", false, QString(), QString(), {}, false, 0));
    viewer::AddFilter(form->Viewer(), filter);
    viewer::TraceTree& page = form->Viewer().GetCurrent();
    ASSERT_EQ(page.Count(), 1);
    EXPECT_TRUE(marks->IsMarked(page, 1));

    // Deleting the marked line on the default page keeps the mark of the copy still shown.
    form->Viewer().SetCurrentPage(0);
    Trace().Select(4);
    Run("mnuEditDelete");
    EXPECT_EQ(marks->Count(), 2);
    EXPECT_TRUE(marks->IsMarked(page, 1));
    // Clearing that page drops it; deleting the other marked line drops the other.
    form->Viewer().SetCurrentPage(1);
    Run("mnuEditClearViewer");
    EXPECT_EQ(marks->Count(), 1);
    Trace().Select(1);
    Run("mnuEditDelete");
    EXPECT_EQ(marks->Count(), 0);

    // A new line is never marked by an old mark.
    MarkLine(1);
    Run("mnuEditClearDisplay");
    EXPECT_EQ(marks->Count(), 0);
    Send(0, 9, "new");
    EXPECT_FALSE(marks->IsMarked(Trace(), 1));
}

}  // namespace
}  // namespace tw::window
