#pragma once
// The main window's menu tree: captions with their access keys, shortcuts, separators and the
// Browse submenu. Every item's action is a command of the registry.

class QMenuBar;

namespace tw::window {

class Commands;

// Creates the commands and fills the menu bar with the menus mnuFile, mnuEdit, mnuSearch
// (with its submenu mnuSearchBrowse), mnuWatch, mnuOptions and mnuHelp. Menus and separators
// carry their object names too.
void BuildMenus(QMenuBar& bar, Commands& commands);

}  // namespace tw::window
