// Edit menu: listening on and off, deleting and clearing.

#include "tw/core/message_manager.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/scratch_manager.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/controls.hpp"
#include "tw/window/frm_main.hpp"

#include <QAction>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeView>

namespace tw::window {

void ConnectEditCommands(FrmMain& form) {
    Commands& c = form.commands();
    // Start also tries again to receive when the window could not start receiving at load.
    c.On("mnuEditStart", [&form] {
        form.StartReception();
        form.MessageManager().SetProcessMessages(true);
    });
    c.On("mnuEditStop", [&form] { form.MessageManager().SetProcessMessages(false); });
    c.On("mnuEditDelete", [&form] { form.MessageManager().DeleteMessage(); });
    // The Del key deletes a trace line only while a trace page has the focus; the menu item
    // still deletes the current page's selected line from wherever it is chosen. In the
    // Watches tree Del is Delete Watch; elsewhere it does what the focused control does.
    if (QAction* del = c.Action(QStringLiteral("mnuEditDelete"))) {
        del->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        if (QTabWidget* pages = form.Viewer().TabWidget()) pages->addAction(del);
    }
    auto* watchDel = new QShortcut(QKeySequence(Qt::Key_Delete), form.controls().tvwWatch);
    watchDel->setObjectName(QStringLiteral("shortcutWatchDelete"));
    watchDel->setContext(Qt::WidgetShortcut);
    QObject::connect(watchDel, &QShortcut::activated, &form, [&c] { c.Run("mnuWatchDelete"); });
    c.On("mnuEditClearViewer", [&form] { form.ClearCurrentViewer(); });
    c.On("mnuEditClearScratch", [&form] { form.ScratchManager().Clear(); });
    // Clear All runs the four clear commands in this order, so each pane's clear is written once.
    c.On("mnuEditClearDisplay", [&c] {
        c.Run("mnuEditClearViewer");
        c.Run("mnuEditClearAutos");
        c.Run("mnuEditClearScratch");
        c.Run("mnuEditClearWatches");
    });
}

}  // namespace tw::window
