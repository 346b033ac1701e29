#include "tw/window/plot_commands.hpp"

#include "tw/window/frm_main.hpp"

#ifdef TW_HAVE_CHARTS
#include "tw/panes/autos_manager.hpp"
#include "tw/panes/value_plot.hpp"
#include "tw/window/commands.hpp"

#include <QAction>
#include <QMenu>
#include <QTreeView>
#endif

namespace tw::window {

#ifdef TW_HAVE_CHARTS

namespace {

// The object a node of the autos tree belongs to: the text of its top-level node.
QString ObjectOf(viewer::AutosManager& autos, int node) {
    if (node < 1 || node > autos.NodeCount()) return {};
    while (autos.Parent(node) != 0) node = autos.Parent(node);
    return autos.KindOf(node) == viewer::AutosManager::Kind::Object ? autos.Text(node) : QString();
}

QString CurrentObject(FrmMain& form) {
    viewer::AutosManager& autos = form.AutosManager();
    return ObjectOf(autos, autos.Model().NodeOf(form.controls().tvwAutos->currentIndex()));
}

}  // namespace

bool HavePlots() { return true; }

viewer::ValuePlot* OpenValuePlot(FrmMain& form, const QString& objectName) {
    if (objectName.isEmpty()) return nullptr;
    for (auto* plot : form.findChildren<viewer::ValuePlot*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (plot->ObjectName() == objectName) {
            plot->show();
            plot->raise();
            plot->activateWindow();
            return plot;
        }
    }
    auto* plot = new viewer::ValuePlot(form.Viewer(), objectName, &form);
    plot->show();
    return plot;
}

void ConnectPlotCommands(FrmMain& form) {
    Commands& c = form.commands();
    QAction* plot = c.Add(QStringLiteral("mnuAutosPlot"), QStringLiteral("&Plot Values"));
    auto* menu = new QMenu(&form);
    menu->setObjectName(QStringLiteral("mnuAutos"));
    menu->addAction(plot);
    c.On(QStringLiteral("mnuAutosPlot"), [&form] { OpenValuePlot(form, CurrentObject(form)); });

    QTreeView* autos = form.controls().tvwAutos;
    autos->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(autos, &QWidget::customContextMenuRequested, &form, [&form, autos, menu, plot](const QPoint& at) {
        const QModelIndex index = autos->indexAt(at);
        if (index.isValid()) autos->setCurrentIndex(index);
        plot->setEnabled(!CurrentObject(form).isEmpty());
        menu->popup(autos->viewport()->mapToGlobal(at));
    });
    QObject::connect(autos, &QAbstractItemView::doubleClicked, &form, [&form](const QModelIndex& index) {
        viewer::AutosManager& manager = form.AutosManager();
        const int node = manager.Model().NodeOf(index);
        if (node && manager.Parent(node) == 0) OpenValuePlot(form, ObjectOf(manager, node));
    });
}

#else

bool HavePlots() { return false; }
void ConnectPlotCommands(FrmMain&) {}

#endif

}  // namespace tw::window
