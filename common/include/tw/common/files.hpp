// Opening files that the user names, without ever waiting on something that is not a file.
#pragma once

#include <QString>

class QFile;
class QSaveFile;

namespace tw {

enum class OpenOutcome {
    Opened,      // a regular file, open for reading
    Missing,     // nothing of that name
    NotAFile,    // a folder, named pipe, device or socket: not opened (never waited on)
    Failed,      // exists but cannot be opened (permission, ...)
};

// Opens fileName for reading only if it is a regular file (after following links). A named
// pipe or a device is looked at without blocking and closed at once, so a pipe without a
// writer or a terminal never holds the caller up. On anything but Opened, *why receives the
// reason in words: Missing "File not found: <name>", NotAFile "<name> is a named pipe (FIFO),
// not a file", Failed the system's reason alone ("Permission denied").
OpenOutcome OpenRegularFileForReading(QFile& file, QString* why);

// When something that is not a regular file exists under fileName: the reason in words (as
// above); otherwise (nothing there, or a regular file) the empty text. For checking a target
// before it is replaced.
QString NotARegularFile(const QString& fileName);

enum class ReplaceOutcome {
    Opened,    // open for writing under a temporary name beside the file
    ReadOnly,  // a regular file its owner may not write: never replaced
    NotAFile,  // a folder, named pipe, device or socket (after following links): never replaced
    Failed,    // cannot be created (no such folder, permission, ...)
};

// Opens a save file that will replace (or create) its file once committed. Anything there but
// a regular file, a symbolic link followed to its target, is refused, so a link to a device
// never turns the device into a file; so is a file marked read-only. The file is written
// unbuffered, so a failing write reports its own cause ("No space left on device"); a new file
// may be read and written by its owner only (a replaced file keeps its permissions). On
// anything but Opened, *why receives the reason in words ("<name> is a character device, not
// a file", or the system's reason).
ReplaceOutcome OpenForReplacing(QSaveFile& file, QString* why);

// Writes all of data; false when a write fails (the file's errorString then says why).
bool WriteAll(QSaveFile& file, const char* data, qint64 size);

}  // namespace tw
