#include "tw/window/controls.hpp"

#include "tw/window/twips.hpp"

#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMainWindow>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace tw::window {
namespace {

QTreeView* MakeTree(const QString& name, QWidget* parent) {
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setHeaderHidden(true);
    view->setUniformRowHeights(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return view;
}

// A report-style list: no tree decoration, one row per line, headed columns.
QTreeView* MakeList(const QString& name, const QStringList& headers, QWidget* parent) {
    auto* view = new QTreeView(parent);
    view->setObjectName(name);
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Headers show until the pane that fills the list brings its own model.
    auto* model = new QStandardItemModel(0, static_cast<int>(headers.size()), view);
    model->setHorizontalHeaderLabels(headers);
    view->setModel(model);
    return view;
}

QWidget* MakePage(QTabWidget* tabs, const QString& caption, QWidget* content, QWidget* second = nullptr) {
    auto* page = new QWidget(tabs);
    auto* layout = new QHBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(content, second ? 0 : 1);
    if (second) layout->addWidget(second, 1);
    tabs->addTab(page, caption);
    return page;
}

}  // namespace

Controls BuildControls(QMainWindow& window) {
    Controls c;
    c.tbrToolbar = new QToolBar(&window);
    c.tbrToolbar->setObjectName("tbrToolbar");
    c.tbrToolbar->setMovable(false);
    c.tbrToolbar->setFloatable(false);
    c.tbrToolbar->setIconSize(QSize(16, 16));
    c.tbrToolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    c.tbrToolbar->toggleViewAction()->setVisible(false);
    window.addToolBar(Qt::TopToolBarArea, c.tbrToolbar);

    c.client = new QWidget(&window);
    c.client->setObjectName("frmMainClient");
    window.setCentralWidget(c.client);

    c.picViewer = new QWidget(c.client);
    c.picViewer->setObjectName("picViewer");
    auto* viewerLayout = new QVBoxLayout(c.picViewer);
    viewerLayout->setContentsMargins(0, 0, 0, 0);

    c.imgSplitterH = new QWidget(c.client);
    c.imgSplitterH->setObjectName("imgSplitterH");
    c.imgSplitterH->setCursor(Qt::SizeVerCursor);

    c.picSplitterH = new QFrame(c.client);
    c.picSplitterH->setObjectName("picSplitterH");
    c.picSplitterH->setFrameShape(QFrame::Panel);
    c.picSplitterH->setAutoFillBackground(true);
    c.picSplitterH->setBackgroundRole(QPalette::Dark);
    c.picSplitterH->hide();

    c.tabWindows = new QTabWidget(c.client);
    c.tabWindows->setObjectName("tabWindows");
    c.tvwAutos = MakeTree("tvwAutos", c.tabWindows);
    c.lvwScratch = MakeList("lvwScratch", {"Id", "Scratch Message"}, c.tabWindows);
    c.lvwScratch->header()->resizeSection(0, TwipsToPixelsX(1279, &window));
    c.lvwScratch->header()->resizeSection(1, TwipsToPixelsX(2540, &window));
    c.tvwWatch = MakeTree("tvwWatch", c.tabWindows);
    c.tvwWatch->setFixedWidth(TwipsToPixelsX(2500, &window));
    c.lvwWatch = MakeList("lvwWatch", {"Object", "Expression", "Value", "Record Number"}, c.tabWindows);
    MakePage(c.tabWindows, "Autos", c.tvwAutos);
    MakePage(c.tabWindows, "Scratch", c.lvwScratch);
    MakePage(c.tabWindows, "Watches", c.tvwWatch, c.lvwWatch);

    c.sbrStatus = new QStatusBar(&window);
    c.sbrStatus->setObjectName("sbrStatus");
    c.sbrStatus->setSizeGripEnabled(true);
    window.setStatusBar(c.sbrStatus);

    c.dlgFile = new QFileDialog(&window);
    c.dlgFile->setObjectName("dlgFile");
    c.dlgFile->hide();
    return c;
}

}  // namespace tw::window
