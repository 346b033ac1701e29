#pragma once
// The help. On Windows, F1 anywhere in the program and Help, Contents... open tracewell3.chm (see
// HelpFile() in startup.hpp) with HTML Help. Elsewhere the same pages, built into the program,
// show in a help window of its own ("frmHelp"), F1 on the page for the window or pane that has
// the focus and Contents... on the contents page.

#include <QString>

#include <functional>

class QWidget;

namespace tw::window {

// Opens a help file; false when nothing could open it.
using HelpOpener = std::function<bool(const QString& file)>;

// Replaces how help files are opened (tests); an empty opener restores the desktop's.
void SetHelpOpener(HelpOpener opener);

// The help page ("watches.html", ...) for the window or pane that holds widget (the nearest of it
// and its parents that has a page); "index.html", the contents, for the rest and for none.
QString HelpTopicFor(const QWidget* widget);

// Shows the help on topic: the help file on Windows, the help window elsewhere.
void ShowHelp(const QString& topic = QStringLiteral("index.html"));

// The help window on topic (made on first use, shown and raised); it stays usable beside an
// open dialog. Returns it (for tests).
QWidget* ShowHelpWindow(const QString& topic);

// Opens the application's help file. A missing file, or a computer where no program opens .chm
// files, gets an information box that says so and where the file is.
void OpenHelpFile();

// The desktop's way: HTML Help on Windows, the default handler for the file's type elsewhere.
bool OpenWithDesktop(const QString& file);

}  // namespace tw::window
