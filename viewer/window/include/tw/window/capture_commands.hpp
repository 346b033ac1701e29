#pragma once
// The File menu's commands for capture files: Save Capture... (mnuFileSaveCapture, after Save
// Logfile) writes the current page in the capture format, as Save Logfile writes, with its
// progress window and Cancel.

namespace tw::window {

class FrmMain;

// Adds Save Capture... to the File menu.
void ConnectCaptureCommands(FrmMain& form);

}  // namespace tw::window
