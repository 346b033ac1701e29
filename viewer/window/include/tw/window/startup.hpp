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

// How long the splash window stands before the main window is loaded.
inline constexpr int kSplashMilliseconds = 3000;

// Start-up: sets the help file, shows the splash window for splashMilliseconds, loads and shows
// the main window captioned "Tracewell", unloads the splash window and ties the end of the
// program to the main window's unload. The caller runs the event loop.
std::unique_ptr<FrmMain> Main(QApplication& app, int splashMilliseconds = kSplashMilliseconds);

}  // namespace tw::window
