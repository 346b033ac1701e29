#pragma once
// The viewer's remembered settings: one INI file in the user's configuration folder
// (Linux: ~/.config/Tracewell/tracewell32.ini, or under $XDG_CONFIG_HOME; Windows:
// %APPDATA%\Tracewell\tracewell32.ini; never the registry).
//
// Every read names the value to use when the file has none, or a value of the wrong kind or
// out of range, so a hand-edited or damaged file only brings back defaults. A file that
// cannot be parsed at all is put aside as tracewell32.ini.damaged and a new one started.
// Writes go to the file at once; a new file may be read and written by its owner only. Keys by area:
//   window/...   geometry, state and splitter of the main window (remembered.cpp)
//   options/...  the Options menu's check marks
//   files/...    the recent log files
//   view/...     the View menu's choices and the quick filter (the trace display's own)

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tw::window::settings {

bool Bool(const QString& key, bool fallback);
// An integer in min..max, else fallback.
int Int(const QString& key, int fallback, int min, int max);
QString String(const QString& key, const QString& fallback = {});
// A list of texts (a single text is a list of one); anything else is the empty list.
QStringList StringList(const QString& key);
QByteArray Bytes(const QString& key);

void Set(const QString& key, const QVariant& value);
void Remove(const QString& key);

// The settings file in use.
QString FilePath();
// Forgets what was read, so the next access reads the file again (after another program or a
// test changed it).
void Reload();
// True when the file last read could not be parsed (and was put aside).
bool WasDamaged();
// When the settings file was not a regular file (a named pipe, a device, a link to one, a
// folder): what was found and what was done, for the status bar; else empty. Such a file is
// never opened: it is renamed tracewell32.ini.set-aside (the link, not its target) and a new
// one started, or, when that fails, nothing is written at all.
QString Problem();

}  // namespace tw::window::settings
