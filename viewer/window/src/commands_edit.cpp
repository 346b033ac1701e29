// Edit menu: listening on and off, deleting and clearing.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectEditCommands(FrmMain& form) {
    Commands& c = form.commands();
    c.On("mnuEditClearViewer", [&form] { form.ClearCurrentViewer(); });
    // Clear All runs the four clear commands in this order, so each pane's clear is written once.
    c.On("mnuEditClearDisplay", [&c] {
        c.Run("mnuEditClearViewer");
        c.Run("mnuEditClearAutos");
        c.Run("mnuEditClearScratch");
        c.Run("mnuEditClearWatches");
    });
}

}  // namespace tw::window
