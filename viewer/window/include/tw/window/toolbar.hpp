#pragma once
// The main window's toolbar tbrToolbar: 15 keyed buttons in five groups. A click hands the
// button's key to the window, which upper-cases it and runs the menu command of that name.

#include <QString>

#include <functional>

class QAction;
class QToolBar;

namespace tw::window {

class ImageList;

// Fills bar with its 19 buttons (15 keyed, 4 separators). Each keyed button's action carries its
// key as data(); clicking it calls onClick with that key.
void BuildToolbar(QToolBar& bar, const ImageList& icons, const std::function<void(const QString&)>& onClick);

// The keyed button of bar with the given key (exact spelling), or nullptr.
QAction* ToolbarButton(const QToolBar& bar, const QString& key);

// The command a toolbar key runs: the key is upper-cased and compared with the known keys in
// their fixed order, the first match wins. Empty when no key matches.
QString CommandForToolbarKey(const QString& key);

}  // namespace tw::window
