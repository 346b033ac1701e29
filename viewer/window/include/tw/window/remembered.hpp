#pragma once
// What the viewer program remembers of its main window between runs: geometry and state (the
// toolbars), the splitter position, every check mark of the Options and View menus (by object
// name: options/autos, options/watches, options/<name>, view/<name>) and the quick filter's
// check boxes (view/<name>); the recent files keep themselves (recent_files.hpp). Only the program restores and saves them; a window made without them (as
// tests make it) starts from the designed defaults.

namespace tw::window {

class FrmMain;

// Before the window shows: geometry, state and check marks from the settings; the splitter
// once the window has its size. Values that are missing or unusable leave the defaults.
void RestoreWindowSettings(FrmMain& form);
// When the window unloads.
void SaveWindowSettings(FrmMain& form);

}  // namespace tw::window
