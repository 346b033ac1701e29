#pragma once
// Ways of opening a log file besides File, Open Logfile...:
//  - File, Recent Logfiles: the last eight log files opened or saved, newest first; a file
//    that no longer exists shows greyed and is taken off the list when chosen; Clear List
//    empties it. The list is remembered between runs (settings key files/recent).
//  - a file dropped on the main window;
//  - files named on the command line: tracewell32 FILE...
// Each opens as Open Logfile opens its file: appended to the trace through the store, with the
// hourglass, the progress window for a long file and the error box of a failed load. Several
// files dropped or named together are merged by send time into one page.

#include "tw/core/log.hpp"

#include <QFileDialog>
#include <QString>
#include <QStringList>

class QMenu;

namespace tw::window {

class FrmMain;

inline constexpr int kRecentFileCount = 8;

// The remembered list, newest first (at most kRecentFileCount, no repeats).
QStringList RecentFiles();
// Puts the file (made absolute) at the top of the list.
void AddRecentFile(const QString& path);
void RemoveRecentFile(const QString& path);
void ClearRecentFiles();

// Where scratch envelopes of a capture file go: the window's scratch list.
viewer::Log::ScratchTarget ScratchTargetOf(FrmMain& form);
// Loads a log or capture file as Open Logfile does and, unless it could not be read at all,
// puts it on the list.
void OpenLogfilePath(FrmMain& form, const QString& path);
// Several files opened together: merged into the default page by send time (see
// Log::LoadMerged), each put on the list; one file opens as OpenLogfilePath opens it.
void OpenMergedPaths(FrmMain& form, const QStringList& paths);
// Opens the files together once the event loop runs (after a drop has returned, after
// start-up).
void OpenLater(FrmMain& form, const QStringList& paths);
// The files named on a command line (arguments after the program's name); options (words
// starting with "-", up to a "--") are not files, nor is the file of "--follow FILE".
QStringList FilesFromArguments(const QStringList& arguments);
// The file of "--follow FILE" (or "--follow=FILE") on a command line; empty without one.
QString FollowFromArguments(const QStringList& arguments);

// Adds Recent Logfiles to the File menu and lets files be dropped on the window.
void ConnectRecentFiles(FrmMain& form);
// The submenu (object name "mnuFileRecent") filled as it shows (for tests).
void FillRecentMenu(FrmMain& form, QMenu& menu);

// The folder the file dialogs start in: the one last used (remembered), else the user's
// documents folder (or home folder without one), never the program's own.
QString FileDialogFolder();
// Remembers the folder of a file chosen in a file dialog.
void RememberFileDialogFolder(const QString& chosenFile);
// Asks for one file with the window's file dialog, titled title, starting in
// FileDialogFolder() with the first of filters chosen; suffix is added to a name typed without
// one. Empty when cancelled; the chosen file's folder is remembered.
QString AskFile(FrmMain& form, const QString& title, QFileDialog::AcceptMode mode, const QStringList& filters,
                const QString& suffix = {});

}  // namespace tw::window
