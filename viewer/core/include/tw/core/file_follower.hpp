#pragma once
// Following a log or capture file as it grows: what it holds is loaded as Open loads it, and
// from then on the lines appended to it, as they come, through the store like received
// messages.
//
// - The file is looked at every kPollMs milliseconds (sooner while much is waiting).
// - A last line without its line end waits until its end is written.
// - The file got shorter (truncated, or written anew): it is read again from its start, and
//   note() says so. Lines loaded before stay.
// - The path names another file (the old one was renamed, say to .1, and a new one begun):
//   the rest of the old file is read, its last line too, then the new file from its start.
//   While nothing has the name, the old file is followed on.
// - A file written anew, or begun anew under the name, is read as the same kind of file (log
//   or capture) as before: it comes from the same writer.
// - Damaged lines are skipped and named in note(), in a followed log file as in a capture
//   file: following goes on.
// - While messaging is stopped nothing is read; the lines appended meanwhile are read once it
//   runs again (they wait in the file, nothing is lost).
// - Following stops with Stop(), when the default page is cleared, or when the file cannot
//   be read any more; stopped() says so.

#include "tw/core/log.hpp"
#include "tw/core/origin_column.hpp"
#include "tw/core/trace_tree.hpp"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class QFile;

namespace tw::viewer {

class MessageManager;

class FileFollower : public QObject, private TraceTreeObserver {
    Q_OBJECT
public:
    static constexpr int kPollMs = 250;
    // At most this much is read in one look, so a file that grew by much never holds the
    // window up; the rest follows at once in the next.
    static constexpr qint64 kBytesPerPoll = 4 << 20;

    explicit FileFollower(MessageManager& store, Log::ScratchTarget scratch = {}, QObject* parent = nullptr);
    ~FileFollower() override;

    // Starts following the file: loads what it holds (with the progress indicator, boxes as
    // Open shows them) and looks for more from then on. Returns false, following nothing,
    // when the file cannot be opened or read, or the load was stopped. A file followed
    // before is let go first.
    bool Start(const QString& path, LogProgress* progress = nullptr);
    void Stop();
    bool IsFollowing() const { return m_file != nullptr; }
    const QString& Path() const { return m_path; }
    // One look at the file now (the timer does it by itself).
    void Poll();

signals:
    // Something worth a line in the status bar: the file was truncated or replaced, or lines
    // were damaged.
    void note(const QString& text);
    // Following ended; why says why in words (empty for Stop()).
    void stopped(const QString& why);

private:
    void Cleared() override;
    void TreeDestroyed() override;
    void Finish(const QString& why);
    // Reads what was appended since the last look, at most budget bytes; false when the file
    // cannot be read. *more is set when the budget ran out first.
    bool ReadAppended(qint64& budget, bool* more);
    // Hands one whole line (without its line end) to the store.
    void TakeLine(std::string& line);
    // Whether the path now names a file other than the one open (not when nothing has it).
    bool Replaced() const;
    // Opens the file the path names now, to read it from its start.
    bool OpenAgain();
    void NoteDamaged();

    MessageManager& m_store;
    Log::ScratchTarget m_scratch;
    TraceTree* m_tree = nullptr;  // the default page, watched for clearing
    QTimer m_timer;
    QString m_path;
    std::unique_ptr<QFile> m_file;
#ifdef _WIN32
    QDateTime m_created;  // when the file open was made, to tell it from a new one
#endif
    qint64 m_offset = 0;        // bytes read up to the end of the last whole line
    std::string m_partial;      // the start of a line without its end yet (its first 4096 bytes)
    qint64 m_partialBytes = 0;  // the whole length of that start
    qint64 m_lineNumber = 0;    // lines of the file read so far
    bool m_kindKnown = false;
    bool m_capture = false;
    LineOrigin m_origin;            // of the lines of a capture file
    std::vector<qint64> m_damaged;  // damaged lines of the last look, for the note
    qint64 m_damagedCount = 0;
    QString m_firstDamagedWhy;
};

}  // namespace tw::viewer
