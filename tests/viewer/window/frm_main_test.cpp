// The main window's controls, menus, right-click menus and shutdown.

#include "tw/window/frm_main.hpp"

#include "tw/testing/message_boxes.hpp"
#include "tw/testing/modal.hpp"
#include "tw/window/status_panels.hpp"
#include "tw/window/twips.hpp"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

namespace tw::window {
namespace {

class FrmMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<FrmMain>();
    }
    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(w)) m->hide();
    }
    std::unique_ptr<FrmMain> form;
};

// One row per entry of a menu, in order: "name|caption|shortcut"; separators read "name|-|".
QStringList Describe(const QMenu* menu) {
    QStringList rows;
    for (QAction* a : menu->actions()) {
        if (a->menu()) {
            rows << a->menu()->objectName() + "|" + a->text() + "|";
            continue;
        }
        rows << a->objectName() + "|" + (a->isSeparator() ? QString("-") : a->text()) + "|" +
                    a->shortcut().toString(QKeySequence::PortableText);
    }
    return rows;
}

TEST_F(FrmMainTest, MenuTreeHasEveryItemWithCaptionAndShortcut) {
    QStringList top;
    for (QAction* a : form->menuBar()->actions()) top << a->menu()->objectName() + "|" + a->text();
    EXPECT_EQ(top, QStringList({"mnuFile|&File", "mnuEdit|&Edit", "mnuView|&View", "mnuSearch|&Search", "mnuWatch|&Watches",
                                "mnuDebug|&Debug", "mnuOptions|&Options", "mnuHelp|&Help"}));

    EXPECT_EQ(Describe(form->Menu("mnuFile")),
              QStringList({"mnuFileOpen|&Open Logfile...|Ctrl+O", "mnuFileFollowFile|&Follow File...|",
                           "mnuFileSave|&Save Logfile...|Ctrl+S", "mnuFileSaveCapture|Save &Capture...|",
                           "mnuFileExport|E&xport...|", "mnuFileRecent|Recent &Logfiles|", "mnuFileCompareWith|Co&mpare With...|", "mnuFileCompareWithPage|Compare With P&age...|", "mnuFileBar1|-|", "mnuFileDelete|&Delete Logfile...|Ctrl+D", "mnuFileBar2|-|",
                           "mnuFilePrint|&Print...|Ctrl+P",
                   "mnuFilePrintPreview|Print Pre&view...|", "mnuFilePrintTo|Print &To...|Ctrl+Shift+P",
                   "mnuFileSavePdf|Save as P&DF...|", "mnuFileBar3|-|", "mnuFileExit|&Exit|"}));
    EXPECT_EQ(Describe(form->Menu("mnuEdit")),
              QStringList({"mnuEditStart|&Start Messaging|", "mnuEditStop|Sto&p Messaging|", "mnuEditBar0|-|",
                           "mnuEditDelete|&Delete...|Del", "mnuEditCopySubtree|Copy with S&ubtree|Ctrl+Shift+C",
                           "mnuEditBar1|-|",
                           "mnuEditClearDisplay|Clear All|Shift+Del", "mnuEditClearViewer|Clear Current Viewer|",
                           "mnuEditClearAutos|Clear Autos Window|", "mnuEditClearScratch|Clear Scratch Window|",
                           "mnuEditClearWatches|Clear Watches|"}));
    EXPECT_EQ(Describe(form->Menu("mnuSearch")),
              QStringList({"mnuSearchFind|&Find...|Ctrl+F", "mnuSearchFindNext|Find Next|F3",
                           "mnuSearchFilter|Filter...|", "mnuSearchBar0|-|",
                           "mnuSearchBookmark|&Bookmark Message|F5", "mnuSearchJump|&Jump to Bookmark|F6",
                           "mnuSearchMarkToggle|Toggle &Mark|Ctrl+F2", "mnuSearchMarkNext|Next Mar&k|F2",
                           "mnuSearchMarkPrevious|Pre&vious Mark|Shift+F2", "mnuSearchMarkClear|Clear M&arks|",
                           "mnuSearchBar1|-|", "mnuSearchGotoRecNo|&Goto Record Number...|", "mnuSearchBar2|-|",
                           "mnuSearchBrowse|Browse|", "mnuSearchBrowseFirst|First|",
                           "mnuSearchBrowsePrevious|Previous|", "mnuSearchBrowseNext|Next|",
                           "mnuSearchBrowseLast|Last|", "|-|", "mnuSearchGoToTrace|Go to Line in &Trace|", "mnuViewExpandAll|E&xpand All|",
                           "mnuViewCollapseAll|&Collapse All|"}));
    EXPECT_EQ(Describe(form->Menu("mnuSearchBrowse")),
              QStringList({"mnuSearchBrowseObject|O&bject|Ctrl+B", "mnuSearchBrowseMessage|&Message|Ctrl+M",
                           "mnuSearchBrowseNote|&Note|Ctrl+N", "mnuSearchBrowseError|&Error|Ctrl+E",
                           "mnuSearchBrowseWarning|&Warning|Ctrl+W", "mnuSearchBrowseFormula|&Formula|Ctrl+U",
                           "mnuSearchBrowseCheckPoint|&CheckPoint|Ctrl+K"}));
    EXPECT_EQ(Describe(form->Menu("mnuWatch")),
              QStringList({"mnuWatchAdd|&Add Watch...|", "mnuWatchDelete|&Delete Watch|",
                           "mnuWatchDeleteAll|Delete All &Watches|", "mnuWatchBar0|-|",
                           "mnuWatchClearResults|&Clear Watch Results|"}));
    EXPECT_EQ(Describe(form->Menu("mnuOptions")),
              QStringList({"mnuOptionsAutos|Autos (performance hit)|",
                           "mnuOptionsWatches|Watches (performance hit)|", "|-|",
                           "mnuOptionsTraceTakesHeight|&Trace Takes New Height|", "mnuOptionsFollow|Follow New Lines|"}));
    EXPECT_EQ(Describe(form->Menu("mnuHelp")),
              QStringList({"mnuHelpContents|Contents...|", "mnuHelpAbout|&About...|"}));

    // Every item is reachable by its object name from the window.
    for (const QString& name : form->commands().Names())
        EXPECT_EQ(form->findChild<QAction*>(name), form->commands().Action(name)) << name.toStdString();
}

TEST_F(FrmMainTest, OptionsStartCheckedAndOnlyToggle) {
    EXPECT_TRUE(form->OptionChecked("mnuOptionsAutos"));
    EXPECT_TRUE(form->OptionChecked("mnuOptionsWatches"));
    form->commands().Run("mnuOptionsAutos");
    EXPECT_FALSE(form->OptionChecked("mnuOptionsAutos"));
    EXPECT_TRUE(form->OptionChecked("mnuOptionsWatches"));
    form->commands().Run("mnuOptionsAutos");
    EXPECT_TRUE(form->OptionChecked("mnuOptionsAutos"));
    // A fresh window starts checked again: nothing is kept between runs.
    form->commands().Run("mnuOptionsWatches");
    FrmMain second;
    EXPECT_TRUE(second.OptionChecked("mnuOptionsWatches"));
}

TEST_F(FrmMainTest, ControlsCarryTheirNames) {
    for (const char* name : {"tbrToolbar", "picViewer", "imgSplitterH", "picSplitterH", "tabWindows", "tvwAutos",
                             "lvwScratch", "tvwWatch", "lvwWatch", "sbrStatus", "dlgFile"})
        EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
    EXPECT_FALSE(form->controls().picSplitterH->isVisible());
    EXPECT_TRUE(form->controls().dlgFile->isHidden());
}

TEST_F(FrmMainTest, LowerTabStripAndListColumns) {
    QTabWidget* tabs = form->controls().tabWindows;
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), "Autos");
    EXPECT_EQ(tabs->tabText(1), "Scratch");
    EXPECT_EQ(tabs->tabText(2), "Watches");
    EXPECT_EQ(tabs->tabText(3), "Breakpoints");
    EXPECT_TRUE(tabs->widget(0)->isAncestorOf(form->controls().tvwAutos));
    EXPECT_TRUE(tabs->widget(1)->isAncestorOf(form->controls().lvwScratch));
    EXPECT_TRUE(tabs->widget(2)->isAncestorOf(form->controls().tvwWatch));
    EXPECT_TRUE(tabs->widget(2)->isAncestorOf(form->controls().lvwWatch));

    auto headers = [](QTreeView* v) {
        QStringList h;
        for (int i = 0; i < v->model()->columnCount(); ++i)
            h << v->model()->headerData(i, Qt::Horizontal).toString();
        return h;
    };
    EXPECT_EQ(headers(form->controls().lvwScratch), QStringList({"Id", "Scratch Message"}));
    EXPECT_EQ(headers(form->controls().lvwWatch), QStringList({"Object", "Expression", "Value", "Record Number"}));
}

TEST_F(FrmMainTest, StatusBarHasThreePanels) {
    QStatusBar* bar = form->controls().sbrStatus;
    const int widths[] = {2000, 1440, 1440};
    for (int i = 1; i <= 3; ++i) {
        auto* panel = bar->findChild<QWidget*>(QString("sbrStatusPanel%1").arg(i));
        ASSERT_NE(panel, nullptr);
        // The count panel as designed; the state panel wide enough for its longest state, the
        // last one taking the rest of the bar.
        if (i == 1) EXPECT_EQ(panel->width(), TwipsToPixelsX(widths[i - 1], bar));
        else EXPECT_GE(panel->width(), TwipsToPixelsX(widths[i - 1], bar));
    }
    auto* state = bar->findChild<QWidget*>("sbrStatusPanel2");
    const QList<QLabel*> labels = state->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 2);
    EXPECT_GE(labels[1]->width(), labels[1]->fontMetrics().horizontalAdvance("Not receiving."));
    EXPECT_EQ(form->statusPanels().Text(3), "");
    form->statusPanels().SetPicture(2, 99);
    EXPECT_EQ(form->statusPanels().Picture(2), 0);
    form->statusPanels().SetText(4, "ignored");
    EXPECT_EQ(form->statusPanels().Text(4), "");

    // A stream of counts redraws the label once per interval, showing the latest text.
    StatusPanels& panels = form->statusPanels();
    panels.Flush();
    for (int i = 1; i <= 1000; ++i) panels.SetText(1, QString("%1 Messages.").arg(i));
    EXPECT_EQ(panels.Text(1), "1000 Messages.");
    EXPECT_TRUE(QTest::qWaitFor([&panels] { return panels.ShownText(1) == "1000 Messages."; }, 5000));
}

TEST_F(FrmMainTest, IconListHoldsThePaneIndices) {
    EXPECT_GE(form->imgIcons().Count(), 33);
    for (int i : {2, 12, 13, 20, 31, 32, 33}) EXPECT_FALSE(form->imgIcons().Picture(i).isNull()) << i;
    EXPECT_TRUE(form->imgIcons().Picture(0).isNull());
    EXPECT_EQ(form->imgIcons().Picture(1).size(), QSize(16, 16));
}

TEST_F(FrmMainTest, CaptionNeverChanges) {
    EXPECT_EQ(form->windowTitle(), "Tracewell");
    // Commands that open a modal dialog (Find, Goto, Filter) get it cancelled at once.
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) dialog->reject();
    });
    closer.start();
    for (const QString& name : form->commands().Names()) {
        if (name == "mnuFileExit" || name == "mnuHelpContents" || name == "mnuHelpAbout") continue;
        form->commands().Run(name);
        EXPECT_EQ(form->windowTitle(), "Tracewell") << name.toStdString();
    }
}

TEST_F(FrmMainTest, RightButtonReleaseOverWatchTreePopsWatchMenu) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->controls().tabWindows->setCurrentIndex(static_cast<int>(LowerPage::Watches));
    QWidget* viewport = form->controls().tvwWatch->viewport();
    QMenu* menu = form->Menu("mnuWatch");

    QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_FALSE(menu->isVisible());
    QTest::mouseRelease(viewport, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(menu->isVisible());
    menu->hide();
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(menu->isVisible());
}

TEST_F(FrmMainTest, ExitUnloadsTheWindow) {
    form->show();
    QSignalSpy unloaded(form.get(), &FrmMain::unloaded);
    form->commands().Run("mnuFileExit");
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(form->isVisible());
}

}  // namespace
}  // namespace tw::window
