#pragma once
// Log files: the lines of the current trace page written to a text file, one message envelope
// per line, and such a file read back through the message store as if its messages had just
// arrived.

#include "tw/common/common.hpp"

#include <QString>

namespace tw::viewer {

class MessageManager;
class TraceTree;

// What a long load shows while it runs: the hourglass and a progress indicator. The main
// window implements it; without one a load shows nothing.
class LogProgress {
public:
    virtual ~LogProgress();
    // The load starts; totalBytes is the file's size (0 when unknown).
    virtual void Begin(qint64 totalBytes) = 0;
    // Bytes and lines read so far; called after every piece read (1 MiB at most) and every
    // few hundred lines, so also for a file without line ends. Returning false stops the
    // load, keeping the lines added so far.
    virtual bool Step(qint64 bytesRead, qint64 lines) = 0;
    // The load ends (before any error box shows).
    virtual void End() = 0;
};

// A new Log is made for each command; it holds no state between calls.
class Log {
public:
    // Error numbers of the boxes a load or save shows.
    static constexpr qint32 kErrBadLine = 13;       // a line that is not a message envelope
    static constexpr qint32 kErrFileNotFound = 53;
    static constexpr qint32 kErrDeviceIO = 57;      // reading or writing failed part way
    static constexpr qint32 kErrPermission = 70;    // the file to replace is read-only
    static constexpr qint32 kErrFileAccess = 75;    // the file cannot be opened or created

    // What a load did.
    struct LoadResult {
        qint64 lines = 0;      // lines read, the failing one included
        bool ok = true;        // false when an error stopped the load
        bool stopped = false;  // the progress indicator asked to stop
        ErrorInfo error;       // the error shown, when !ok
    };

    // store receives every loaded message; its pages give the page to save.
    explicit Log(MessageManager& store) : m_store(store) {}

    // Writes the lines of the current page, in index order, to the file. Nothing is written
    // for an empty page. The file is replaced only when the new one is complete: it is
    // written beside the target under a temporary name first. On failure the old file is
    // left as it was and an error box (caption "Tracewell") shows; returns false then. With a
    // progress indicator, a long save shows its progress and can be stopped: the old file
    // then stays as it was and no box shows (returns false, *cancelled set).
    bool Save(const QString& fileName, LogProgress* progress = nullptr, bool* cancelled = nullptr);

    // Reads the file line by line and hands each message to the store's Add. A line that is
    // not an envelope, or a read error, stops the load with the box "Error loading logfile";
    // lines added before stay. While the store is not listening, nothing is read. Anything
    // but a regular file (a named pipe, a device, a folder) is refused at once with the box,
    // never opened in a way that could wait. Only the first 4096 bytes of a line are kept.
    LoadResult Load(const QString& fileName, LogProgress* progress = nullptr);

    static QString ProgramTitle() { return QStringLiteral("Tracewell"); }
    static QString LoadErrorCaption() { return QStringLiteral("Error loading logfile"); }
    // The description a load error shows: record number, the line read (as BufferText shows
    // it), the error itself.
    static QString LoadErrorText(qint64 record, const QString& buffer, const QString& description);
    // How the box shows the line read: its first kShownBufferChars characters, control
    // characters written \xNN, and "..." when the line is longer.
    static constexpr qsizetype kShownBufferChars = 200;
    static QString BufferText(const QString& line);

private:
    // Writes the file; the temporary file is removed again before this returns on failure.
    static ErrorInfo WriteFile(TraceTree& tree, const QString& fileName, LogProgress* progress, bool* cancelled);

    MessageManager& m_store;
};

}  // namespace tw::viewer
