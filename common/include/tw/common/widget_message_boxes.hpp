// The Qt Widgets message box behind tw::messageBoxes().
#pragma once

namespace tw {

// Makes modal QMessageBox boxes the program's default message-box service.
void installWidgetMessageBoxes();

}  // namespace tw
