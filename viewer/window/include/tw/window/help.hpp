#pragma once
// The help file: F1 anywhere in the program and Help, Contents... open tracewell3.chm (see
// HelpFile() in startup.hpp) with the platform's viewer for .chm files.

#include <QString>

#include <functional>

namespace tw::window {

// Opens a help file; false when nothing could open it.
using HelpOpener = std::function<bool(const QString& file)>;

// Replaces how help files are opened (tests); an empty opener restores the desktop's.
void SetHelpOpener(HelpOpener opener);

// Opens the application's help file. A missing file, or a computer where no program opens .chm
// files, gets an information box that says so and where the file is.
void ShowHelp();

// The desktop's way: HTML Help on Windows, the default handler for the file's type elsewhere.
bool OpenWithDesktop(const QString& file);

}  // namespace tw::window
