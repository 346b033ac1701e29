#pragma once
// The Search menu's marks: Toggle Mark (Ctrl+F2), Next Mark (F2), Previous Mark (Shift+F2) and
// Clear Marks, after Jump to Bookmark. See display/marks.hpp.

namespace tw::viewer {
class Marks;
}

namespace tw::window {

class FrmMain;

void ConnectMarkCommands(FrmMain& form);
// The window's marks (made by ConnectMarkCommands), nullptr before.
viewer::Marks* MarksOf(FrmMain& form);

}  // namespace tw::window
