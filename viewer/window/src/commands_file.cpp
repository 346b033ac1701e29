// File menu: log files, printing and Exit.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectFileCommands(FrmMain& form) {
    Commands& c = form.commands();
    // mnuFileOpen, mnuFileSave and mnuFileDelete come with log files; mnuFilePrint with printing.
    c.On("mnuFileExit", [&form] { form.close(); });
}

}  // namespace tw::window
