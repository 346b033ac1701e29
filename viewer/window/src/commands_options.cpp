// Options menu: the two check marks. They only toggle; the store reads them per message.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectOptionsCommands(FrmMain& /*form*/) {
    // mnuOptionsAutos and mnuOptionsWatches are checkable actions: Qt toggles the check mark.
}

}  // namespace tw::window
