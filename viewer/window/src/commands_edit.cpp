// Edit menu: listening on and off, deleting and clearing.

#include "core/message_manager.hpp"
#include "panes/scratch_manager.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectEditCommands(FrmMain& form) {
    Commands& c = form.commands();
    c.On("mnuEditStart", [&form] { form.MessageManager().SetProcessMessages(true); });
    c.On("mnuEditStop", [&form] { form.MessageManager().SetProcessMessages(false); });
    c.On("mnuEditDelete", [&form] { form.MessageManager().DeleteMessage(); });
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
