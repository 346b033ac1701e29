// The toolbar of the main window: its buttons and the key dispatch.

#include "tw/window/toolbar.hpp"

#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/frm_main.hpp"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QSignalSpy>
#include <QTimer>
#include <QToolBar>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

class ToolbarTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
    }
    QToolBar& bar() { return *form->controls().tbrToolbar; }
    std::unique_ptr<FrmMain> form;
};

TEST_F(ToolbarTest, NineteenButtonsInFiveGroups) {
    const QList<QAction*> actions = bar().actions();
    ASSERT_EQ(actions.size(), 19);
    const char* expected[][2] = {
        {"Open", "Open Logfile"},       {"Save", "Save Logfile"},
        {nullptr, nullptr},             {"Print", "Print"},
        {nullptr, nullptr},             {"Start", "Start Messaging"},
        {"Stop", "Stop Messaging"},     {nullptr, nullptr},
        {"Find", "Find"},               {"FindNext", "Find Next"},
        {"GotoRec", "Goto Record Number"}, {"Filter", "Filter Current Window"},
        {"Watch", "Add Watch"},         {nullptr, nullptr},
        {"Checkpoint", "Next Checkpoint"}, {"First", "First Message"},
        {"Previous", "Previous Message"}, {"Next", "Next Message"},
        {"Last", "Last Message"},
    };
    for (int i = 0; i < 19; ++i) {
        SCOPED_TRACE(i);
        QAction* a = actions[i];
        if (!expected[i][0]) {
            EXPECT_TRUE(a->isSeparator());
            EXPECT_FALSE(a->data().isValid());
            continue;
        }
        EXPECT_FALSE(a->isSeparator());
        EXPECT_EQ(a->data().toString(), QString::fromLatin1(expected[i][0]));
        EXPECT_EQ(a->toolTip(), QString::fromLatin1(expected[i][1]));
        EXPECT_FALSE(a->icon().isNull());
    }
}

// Each button runs exactly its menu command, through the same action as the menu item.
TEST_F(ToolbarTest, EveryButtonRunsItsMenuCommand) {
    const char* pairs[][2] = {
        {"Open", "mnuFileOpen"},          {"Save", "mnuFileSave"},
        {"Print", "mnuFilePrint"},        {"Start", "mnuEditStart"},
        {"Stop", "mnuEditStop"},          {"Find", "mnuSearchFind"},
        {"FindNext", "mnuSearchFindNext"}, {"GotoRec", "mnuSearchGotoRecNo"},
        {"Filter", "mnuSearchFilter"},    {"Watch", "mnuWatchAdd"},
        {"Checkpoint", "mnuSearchBrowseCheckPoint"}, {"First", "mnuSearchBrowseFirst"},
        {"Previous", "mnuSearchBrowsePrevious"}, {"Next", "mnuSearchBrowseNext"},
        {"Last", "mnuSearchBrowseLast"},
    };
    // Commands that open a modal dialog (Find, Goto, Filter) get it cancelled at once.
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    closer.start();
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const QString& name : form->commands().Names())
        spies.push_back(std::make_unique<QSignalSpy>(form->commands().Action(name), &QAction::triggered));
    for (const auto& p : pairs) {
        SCOPED_TRACE(p[0]);
        for (auto& s : spies) s->clear();
        QAction* button = ToolbarButton(bar(), QString::fromLatin1(p[0]));
        ASSERT_NE(button, nullptr);
        button->trigger();
        const QStringList names = form->commands().Names();
        for (int i = 0; i < names.size(); ++i)
            EXPECT_EQ(spies[static_cast<std::size_t>(i)]->count(), names[i] == QLatin1String(p[1]) ? 1 : 0)
                << names[i].toStdString();
    }
}

TEST(ToolbarDispatch, KeysCompareUpperCasedAndUnknownKeysRunNothing) {
    EXPECT_EQ(CommandForToolbarKey("findnext"), "mnuSearchFindNext");
    EXPECT_EQ(CommandForToolbarKey("FINDNEXT"), "mnuSearchFindNext");
    EXPECT_EQ(CommandForToolbarKey("Find"), "mnuSearchFind");
    EXPECT_EQ(CommandForToolbarKey("checkPOINT"), "mnuSearchBrowseCheckPoint");
    EXPECT_EQ(CommandForToolbarKey("Bookmark"), "");
    EXPECT_EQ(CommandForToolbarKey(""), "");
    EXPECT_EQ(CommandForToolbarKey("Open "), "");
}

TEST_F(ToolbarTest, UnknownKeyClickDoesNothing) {
    std::vector<std::unique_ptr<QSignalSpy>> spies;
    for (const QString& name : form->commands().Names())
        spies.push_back(std::make_unique<QSignalSpy>(form->commands().Action(name), &QAction::triggered));
    form->tbrToolbar_ButtonClick("Bookmark");
    form->tbrToolbar_ButtonClick("");
    for (auto& s : spies) EXPECT_EQ(s->count(), 0);
    form->tbrToolbar_ButtonClick("stop");
    EXPECT_EQ(spies[static_cast<std::size_t>(form->commands().Names().indexOf("mnuEditStop"))]->count(), 1);
}

}  // namespace
}  // namespace tw::window
