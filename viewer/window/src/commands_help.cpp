// Help menu: contents and About.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectHelpCommands(FrmMain& /*form*/) {
    // mnuHelpContents and mnuHelpAbout are connected here when help and About land.
}

}  // namespace tw::window
