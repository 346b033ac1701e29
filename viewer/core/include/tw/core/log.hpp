#pragma once
// Log files: the lines of the current trace page written to a text file, one message envelope
// per line, and such a file read back through the message store as if its messages had just
// arrived.

#include "tw/common/common.hpp"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <functional>
#include <vector>

class QFile;

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
//
// Loading reads log files and capture files alike; a file is a capture file when its first
// line reads as a capture line (see tw/core/capture_file.hpp). A capture line's message keeps
// its send time as its receipt time, and its file, process and thread as its origin; a
// damaged capture line is skipped, and the skipped lines are reported once, in one box, when
// the load ends.
class Log {
public:
    // Error numbers of the boxes a load or save shows.
    static constexpr qint32 kErrBadLine = 13;       // a line that is not a message envelope
    static constexpr qint32 kErrFileNotFound = 53;
    static constexpr qint32 kErrDeviceIO = 57;      // reading or writing failed part way
    static constexpr qint32 kErrPermission = 70;    // the file to replace is read-only
    static constexpr qint32 kErrFileAccess = 75;    // the file cannot be opened or created

    // The box of skipped lines lists this many line numbers at most (and counts the rest).
    static constexpr std::size_t kListedDamagedLines = 100;

    // What a load did.
    struct LoadResult {
        qint64 lines = 0;      // lines read, the failing one included
        bool ok = true;        // false when an error stopped the load
        bool stopped = false;  // the progress indicator asked to stop
        ErrorInfo error;       // the error shown, when !ok
        bool opened = false;   // the file could be opened
        bool kindKnown = false;  // a line was read, so the kind of file is known:
        bool capture = false;    // a capture file
        qint64 damaged = 0;      // damaged lines skipped (capture files, and skipDamaged)
        std::vector<qint64> damagedLines;  // the first kListedDamagedLines of them, 1-based
        qint64 bytesRead = 0;    // bytes of the file up to the end of the last whole line read
        QString note;            // a short note on the load for the status bar (merging)
        QStringList loadedFiles; // LoadMerged: the files read, not those refused or bad from their first line
    };

    struct LoadOptions {
        // A last line without its line end is left unread: it is still being written.
        bool wholeLinesOnly = false;
        // A log line that is not an envelope is skipped and reported as damaged capture
        // lines are, instead of ending the load (following a file).
        bool skipDamaged = false;
    };

    // Where scratch envelopes of a capture file go (the scratch list), as received ones do;
    // without a target they are left out.
    using ScratchTarget = std::function<void(qint32 id, const QString& text)>;

    // store receives every loaded message; its pages give the page to save.
    explicit Log(MessageManager& store, ScratchTarget scratch = {}) : m_store(store), m_scratch(std::move(scratch)) {}

    // Writes the lines of the current page, in index order, to the file. Nothing is written
    // for an empty page. The file is replaced only when the new one is complete: it is
    // written beside the target under a temporary name first. On failure the old file is
    // left as it was and an error box (caption "Tracewell") shows; returns false then. With a
    // progress indicator, a long save shows its progress and can be stopped: the old file
    // then stays as it was and no box shows (returns false, *cancelled set).
    bool Save(const QString& fileName, LogProgress* progress = nullptr, bool* cancelled = nullptr);
    // The same in the capture format: each line with its receipt time as its send time and
    // the process and thread it was read with (0 for a received line).
    bool SaveCapture(const QString& fileName, LogProgress* progress = nullptr, bool* cancelled = nullptr);

    // Reads the file line by line and hands each message to the store's Add. A line that is
    // not an envelope, or a read error, stops the load with the box "Error loading logfile";
    // lines added before stay. While the store is not listening, nothing is read. Anything
    // but a regular file (a named pipe, a device, a folder) is refused at once with the box,
    // never opened in a way that could wait. Only the first 4096 bytes of a line are kept.
    // A capture file loads every good line; its damaged lines are reported in one box.
    LoadResult Load(const QString& fileName, LogProgress* progress = nullptr);
    // The same for a file not yet open (it is opened here and left open, for reading on from
    // result.bytesRead), with options.
    LoadResult Load(QFile& file, LogProgress* progress, const LoadOptions& options);
    // Several files into one page: the lines of the capture files merged by their send time
    // (each file's lines keep their order; on equal times the earlier file goes first), then
    // the lines of the log files, which hold no times, in file order. Every line keeps the
    // file (and process and thread) it came from. Cancel while the files are read adds
    // nothing; while the lines are added it keeps those added. Each file's errors show in a
    // box of its own, naming the file. One file loads as Load does.
    LoadResult LoadMerged(const QStringList& fileNames, LogProgress* progress = nullptr);

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
    enum class Format { Log, Capture };
    bool SaveAs(Format format, const QString& fileName, LogProgress* progress, bool* cancelled);
    // Writes the file; the temporary file is removed again before this returns on failure.
    static ErrorInfo WriteFile(Format format, TraceTree& tree, const QString& fileName, LogProgress* progress,
                               bool* cancelled);

    MessageManager& m_store;
    ScratchTarget m_scratch;
};

}  // namespace tw::viewer
