// Opening files that the user names, without ever waiting on something that is not a file.
#pragma once

#include <QString>

class QFile;

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

}  // namespace tw
