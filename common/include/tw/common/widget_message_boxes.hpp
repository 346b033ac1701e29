// The Qt Widgets message box behind tw::messageBoxes().
#pragma once

namespace tw {

// Makes modal QMessageBox boxes the program's default message-box service, and has every
// message box of the program (Qt's own included) show its text as plain text. Call it once
// the application object exists.
void installWidgetMessageBoxes();

}  // namespace tw
