#pragma once
// Menu items added to the main window's menus after they are built (the File menu's Export...
// and Recent Logfiles, the marks of the Search menu, ...).

#include <QString>

class QAction;
class QMenu;

namespace tw::window {

// Puts action into menu right after the item (action or submenu) whose object name is after;
// at the end when there is no such item. Does nothing without a menu.
void InsertMenuItemAfter(QMenu* menu, const QString& after, QAction* action);
// The same for a submenu; returns the submenu (object name name), owned by menu.
QMenu* InsertSubmenuAfter(QMenu* menu, const QString& after, const QString& name, const QString& caption);

}  // namespace tw::window
