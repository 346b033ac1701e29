// Watches menu, and the Clear Autos / Clear Watches items of the Edit menu.

#include "tw/panes/autos_manager.hpp"
#include "tw/panes/watch_dialog.hpp"
#include "tw/panes/watch_manager.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectWatchCommands(FrmMain& form) {
    Commands& c = form.commands();
    // Add Watch (also the toolbar's WATCH button): the dialog, then the new watch, if any.
    c.On("mnuWatchAdd", [&form] {
        viewer::DlgWatch& dialog = form.WatchDialog();
        if (dialog.ShowModal() && dialog.WatchObject()) form.WatchManager().Add(*dialog.WatchObject());
    });
    c.On("mnuWatchDelete", [&form] { form.WatchManager().Delete(); });
    c.On("mnuWatchDeleteAll", [&form] { form.WatchManager().DeleteAll(); });
    c.On("mnuWatchClearResults", [&form] { form.WatchManager().ClearResults(); });
    c.On("mnuEditClearWatches", [&form] {
        form.WatchManager().ClearResults();
        form.WatchManager().DeleteAll();
    });
    c.On("mnuEditClearAutos", [&form] { form.AutosManager().Clear(); });
}

}  // namespace tw::window
