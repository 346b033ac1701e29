// Search menu: navigation, find, bookmark and filters.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectSearchCommands(FrmMain& /*form*/) {
    // mnuSearchFind, mnuSearchFindNext, mnuSearchFilter, mnuSearchBookmark, mnuSearchJump,
    // mnuSearchGotoRecNo, the seven mnuSearchBrowse<Type> items and mnuSearchBrowseFirst,
    // ...Previous, ...Next, ...Last are connected here when navigation, find and filters land.
}

}  // namespace tw::window
