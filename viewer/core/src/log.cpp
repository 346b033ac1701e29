#include "tw/core/log.hpp"

#include "tw/common/files.hpp"
#include "tw/core/log_format.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/messaging/codepage.hpp"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace tw::viewer {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;        // read and write in 1 MiB pieces
constexpr std::size_t kKeptLineBytes = 4096;   // more than any envelope the reader looks at
constexpr qint64 kStepLines = 256;             // progress is asked this often, and after every piece read

QString FromCodePage(std::string_view bytes) {
    const std::string utf8 = tw::messaging::CodePageToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

constexpr std::size_t kBatchesAhead = 4;       // parsed pieces waiting for the store at most

// A run of whole lines of the file, read and cut into messages on the reading thread; the
// store takes the batches in file order on the UI thread.
struct Batch {
    std::vector<MessageRef> messages;  // the lines of the batch, in file order
    qint64 bytesEnd = 0;               // bytes of the file read up to the end of the last line
    // Where the lines came from, to name one the store refuses: the start of a line carried
    // over from the chunk before (its first kKeptLineBytes bytes) and the chunk itself.
    std::string carried;
    std::vector<char> chunk;
    // The batch that ends the load: the end of the file, a read error or a malformed line.
    bool last = false;
    qint32 errorNumber = 0;            // 0: no error
    QString errorDescription;
    QString errorBuffer;
};

// The line of a batch at position i as the loader keeps it: its first kKeptLineBytes bytes
// without a closing CR.
std::string LineOfBatch(const Batch& b, std::size_t i) {
    std::string line = b.carried;
    const char* p = b.chunk.data();
    const char* end = p + b.chunk.size();
    for (std::size_t k = 0;; ++k) {
        const char* nl = p < end ? static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p))) : nullptr;
        const char* stop = nl ? nl : end;
        if (k == i) {
            const std::size_t room = kKeptLineBytes > line.size() ? kKeptLineBytes - line.size() : 0;
            line.append(p, std::min(room, std::size_t(stop - p)));
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (!nl) return {};
        p = nl + 1;
        line.clear();
    }
}

// Reads the file and cuts it into messages on a thread of its own, a bounded number of
// batches ahead of the store.
class BatchReader {
public:
    explicit BatchReader(QFile& file) : m_file(file), m_thread([this] { Run(); }) {}
    ~BatchReader() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    // The next batch in file order; waits for it.
    Batch Next() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_ready.empty(); });
        Batch b = std::move(m_ready.front());
        m_ready.pop_front();
        m_changed.notify_all();
        return b;
    }
    // Takes back a batch's piece of the file once the store is done with the batch: the
    // reader reads into it again instead of asking the system for fresh memory every piece.
    void Recycle(std::vector<char>&& chunk) {
        if (chunk.capacity() < std::size_t(kChunkBytes)) return;
        std::lock_guard lock(m_mutex);
        if (m_spare.size() < kBatchesAhead) m_spare.push_back(std::move(chunk));
    }

private:
    std::vector<char> SpareChunk() {
        std::vector<char> chunk;
        {
            std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                chunk = std::move(m_spare.back());
                m_spare.pop_back();
            }
        }
        chunk.resize(static_cast<std::size_t>(kChunkBytes));
        return chunk;
    }

    void Run() {
        std::string line;  // the line being read (its first kKeptLineBytes bytes)
        bool lineCut = false;
        qint64 bytesRead = 0;
        for (bool last = false; !last;) {
            Batch b;
            try {
                b.carried = line;
                std::vector<char> chunk = SpareChunk();
                const qint64 got = m_file.read(chunk.data(), kChunkBytes);
                // Hands one whole line on as a message; false when it is not an envelope.
                auto addLine = [&]() -> bool {
                    if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF ends a line
                    QString why;
                    MessageRef message = logfile::ReadLine(line, &why);
                    if (!message) {
                        b.errorNumber = Log::kErrBadLine;
                        b.errorDescription = QStringLiteral("Not a message envelope (%1)").arg(why);
                        b.errorBuffer = FromCodePage(logfile::Unescape(line));
                        return false;
                    }
                    b.messages.push_back(std::move(message));
                    line.clear();
                    lineCut = false;
                    return true;
                };
                if (got < 0) {
                    b.errorNumber = Log::kErrDeviceIO;
                    b.errorDescription = QStringLiteral("Cannot read %1: %2").arg(m_file.fileName(), m_file.errorString());
                    b.errorBuffer = FromCodePage(line);
                    b.last = true;
                } else if (got == 0) {
                    if (!line.empty() || lineCut) addLine();  // a last line without CR LF
                    b.last = true;
                } else {
                    chunk.resize(std::size_t(got));
                    bytesRead += got;
                    const char* p = chunk.data();
                    const char* end = p + got;
                    while (p < end) {
                        const char* nl = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
                        const char* stop = nl ? nl : end;
                        const std::size_t room = kKeptLineBytes > line.size() ? kKeptLineBytes - line.size() : 0;
                        const std::size_t take = std::min(room, std::size_t(stop - p));
                        line.append(p, take);
                        if (take < std::size_t(stop - p)) lineCut = true;
                        if (!nl) break;
                        p = nl + 1;
                        if (!addLine()) {
                            b.last = true;
                            break;
                        }
                    }
                    b.bytesEnd = bytesRead - qint64(end - p);
                    b.chunk = std::move(chunk);
                }
                if (b.errorNumber != 0) b.last = true;
            } catch (const std::exception& e) {
                b.errorNumber = Log::kErrDeviceIO;
                b.errorDescription = QString::fromLocal8Bit(e.what());
                b.errorBuffer = FromCodePage(line);
                b.last = true;
            }
            last = b.last;
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_ready.size() < kBatchesAhead; });
            if (m_stop) return;
            m_ready.push_back(std::move(b));
            m_changed.notify_all();
        }
    }

    QFile& m_file;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_ready;
    std::vector<std::vector<char>> m_spare;  // pieces the store is done with
    bool m_stop = false;
    std::thread m_thread;  // last: starts once everything else is ready
};

}  // namespace

LogProgress::~LogProgress() = default;

QString Log::BufferText(const QString& line) {
    // A file that is not a log (a program, an archive) may have a "line" of thousands of
    // bytes, most of them control bytes that would garble the box or end its text early.
    const qsizetype shown = std::min<qsizetype>(line.size(), kShownBufferChars);
    QString text;
    text.reserve(shown + 16);
    for (qsizetype i = 0; i < shown; ++i) {
        const char16_t c = line[i].unicode();
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) {
            static const char kHex[] = "0123456789ABCDEF";
            text += QStringLiteral("\\x");
            text += QChar(kHex[(c >> 4) & 0xF]);
            text += QChar(kHex[c & 0xF]);
        } else {
            text += QChar(c);
        }
    }
    if (line.size() > shown) text += QStringLiteral("...");
    return text;
}

QString Log::LoadErrorText(qint64 record, const QString& buffer, const QString& description) {
    return QStringLiteral("Logfile record# ") + QString::number(record) + QStringLiteral("\r\n") +
           QStringLiteral("Logfile buffer: ") + BufferText(buffer) + QStringLiteral("\r\n") +
           QStringLiteral("Error         : ") + description;
}

bool Log::Save(const QString& fileName, LogProgress* progress, bool* cancelled) {
    if (cancelled) *cancelled = false;
    TraceTree& tree = m_store.Pages().GetCurrent();
    if (tree.IsEmpty()) return true;  // no file is written, an existing one is left alone

    bool stopped = false;
    const ErrorInfo error = WriteFile(tree, fileName, progress, &stopped);
    if (cancelled) *cancelled = stopped;
    if (stopped) return false;
    if (error.number == 0) return true;
    // The temporary file is gone by now, so a full disk has its space back while the box shows.
    ShowErrors(ProgramTitle(), nullptr, error);
    return false;
}

ErrorInfo Log::WriteFile(TraceTree& tree, const QString& fileName, LogProgress* progress, bool* cancelled) {
    QSaveFile file(fileName);
    QString why;
    switch (OpenForReplacing(file, &why)) {
    case ReplaceOutcome::Opened: break;
    case ReplaceOutcome::ReadOnly: return {kErrPermission, QStringLiteral("The log file %1 is read-only").arg(fileName)};
    case ReplaceOutcome::NotAFile: return {kErrFileAccess, QStringLiteral("Cannot create the log file: %1").arg(why)};
    case ReplaceOutcome::Failed: return {kErrFileAccess, QStringLiteral("Cannot create the log file %1: %2").arg(fileName, why)};
    }
    auto writeFailed = [&] {
        const QString reason = file.errorString();
        file.cancelWriting();
        if (progress) progress->End();
        return ErrorInfo{kErrDeviceIO, QStringLiteral("Cannot write the log file %1: %2").arg(fileName, reason)};
    };
    std::string buffer;
    buffer.reserve(std::size_t(kChunkBytes) + 4096);
    const int count = tree.Count();
    qint64 written = 0;
    if (progress) progress->Begin(0);
    for (int i = 1; i <= count; ++i) {
        logfile::AppendLine(buffer, tree.Message(i));
        if (qint64(buffer.size()) >= kChunkBytes || i == count) {
            if (!WriteAll(file, buffer.data(), qint64(buffer.size()))) return writeFailed();
            written += qint64(buffer.size());
            buffer.clear();
        }
        if (progress && i % kStepLines == 0 && !progress->Step(written, i)) {
            file.cancelWriting();  // the temporary file goes, an old file stays
            progress->End();
            *cancelled = true;
            return {};
        }
    }
    if (progress) progress->End();
    if (!file.commit()) {
        // commit removes the temporary file itself when it fails
        return {kErrDeviceIO, QStringLiteral("Cannot write the log file %1: %2").arg(fileName, file.errorString())};
    }
    return {};
}

Log::LoadResult Log::Load(const QString& fileName, LogProgress* progress) {
    LoadResult result;
    qint64 record = 0;

    auto fail = [&](qint32 number, const QString& description, const QString& buffer) {
        result.ok = false;
        result.error = {number, LoadErrorText(record, buffer, description)};
    };

    // Only a regular file is read: a named pipe, a device or a folder is refused at once,
    // without waiting for a writer or reading an endless stream.
    QFile file(fileName);
    QString whyNot;
    const OpenOutcome opened = OpenRegularFileForReading(file, &whyNot);
    if (progress) progress->Begin(opened == OpenOutcome::Opened ? file.size() : 0);
    if (opened != OpenOutcome::Opened) {
        fail(opened == OpenOutcome::Missing ? kErrFileNotFound : kErrFileAccess,
             opened == OpenOutcome::Failed ? QStringLiteral("Cannot open %1: %2").arg(fileName, whyNot) : whyNot,
             QString());
    } else if (m_store.ProcessMessages()) {
        // The file is read and cut into messages on a second thread while this one hands
        // them to the store, in file order.
        try {
            const qint64 fileSize = file.size();  // asked before the reader owns the file
            BatchReader reader(file);
            bool reserved = false;
            for (;;) {
                Batch b = reader.Next();
                std::size_t i = 0;
                bool stop = false;
                try {
                    for (; i < b.messages.size() && !stop; ++i) {
                        ++record;
                        m_store.Add(b.messages[i]);
                        if (progress && record % kStepLines == 0 && !progress->Step(b.bytesEnd, record))
                            stop = true;
                    }
                } catch (const AppError& e) {
                    fail(e.number(), e.description(), FromCodePage(LineOfBatch(b, i)));
                    break;
                } catch (const std::exception& e) {
                    fail(kErrDeviceIO, QString::fromLocal8Bit(e.what()), FromCodePage(LineOfBatch(b, i)));
                    break;
                }
                if (stop) {
                    result.stopped = true;
                    break;
                }
                if (b.errorNumber != 0) {
                    if (b.errorNumber == kErrBadLine) ++record;  // the malformed line counts
                    fail(b.errorNumber, b.errorDescription, b.errorBuffer);
                    break;
                }
                if (b.last) break;
                if (!reserved) {
                    // The first piece tells how long the lines of this file are: room for
                    // the rest is made at once, so the store does not copy its lines over
                    // and over while it grows (a copy that would briefly hold them twice).
                    reserved = true;
                    if (b.bytesEnd > 0 && !b.messages.empty() && fileSize > b.bytesEnd) {
                        const double perByte = double(b.messages.size()) / double(b.bytesEnd);
                        const double rest = double(fileSize - b.bytesEnd) * perByte * 1.125;
                        try {
                            m_store.ReserveLines(qint64(std::min(rest, 1e9)));
                        } catch (const std::bad_alloc&) {
                            // only a head start: the store grows as it goes instead
                        }
                    }
                }
                reader.Recycle(std::move(b.chunk));
                // After every piece too, so that a file without line ends can be stopped.
                if (progress && !progress->Step(b.bytesEnd, record)) {
                    result.stopped = true;
                    break;
                }
            }
        } catch (const std::exception& e) {  // no second thread to be had
            fail(kErrDeviceIO, QString::fromLocal8Bit(e.what()), QString());
        }
    }
    result.lines = record;
    if (progress) progress->End();
    if (!result.ok) ShowErrors(LoadErrorCaption(), nullptr, result.error);
    return result;
}

}  // namespace tw::viewer
