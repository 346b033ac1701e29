#pragma once
// The viewer's start-up routine and the application-wide help file name.

#include <QString>
#include <memory>

class QApplication;

namespace tw::window {

class FrmMain;

// The help file of the application: the program's folder followed by tracewell3.chm.
QString HelpFile();
void SetHelpFile(const QString& path);

// Start-up: sets the help file, loads and shows the main window captioned "Tracewell" and ties
// the end of the program to the window's unload. The caller runs the event loop.
std::unique_ptr<FrmMain> Main(QApplication& app);

}  // namespace tw::window
