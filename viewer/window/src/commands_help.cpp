// Help menu: contents and About.

#include "tw/window/about.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectHelpCommands(FrmMain& form) {
    Commands& c = form.commands();
    // mnuHelpContents is connected here when the help file lands.
    c.On("mnuHelpAbout", [&form] { ShowAbout(&form); });
}

}  // namespace tw::window
