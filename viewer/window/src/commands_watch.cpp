// Watches menu, and the Clear Autos / Clear Watches items of the Edit menu.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectWatchCommands(FrmMain& /*form*/) {
    // mnuWatchAdd, mnuWatchDelete, mnuWatchDeleteAll, mnuWatchClearResults, mnuEditClearWatches
    // and mnuEditClearAutos are connected here when the watch and autos panes land.
}

}  // namespace tw::window
