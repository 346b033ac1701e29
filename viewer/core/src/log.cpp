#include "tw/core/log.hpp"

#include "tw/common/files.hpp"
#include "tw/core/capture_file.hpp"
#include "tw/core/log_format.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/messaging/codepage.hpp"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <memory>
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

// The send time, process and thread of a capture line's message.
struct Sent {
    qint64 at = 0;
    quint32 processId = 0;
    quint32 threadId = 0;
};

// A run of whole lines of the file, read and cut into messages on the reading thread; the
// store takes the batches in file order on the UI thread.
struct Batch {
    std::vector<MessageRef> messages;  // the lines of the batch, in file order
    std::vector<Sent> sent;            // capture files: beside each message
    // Each message's line within the batch, once a line of the batch was skipped (empty while
    // every line is a message).
    std::vector<std::uint32_t> lineOf;
    bool capture = false;              // the lines are capture lines
    qint64 linesBefore = 0;            // lines of the file before the batch's first
    qint64 linesEnd = 0;               // lines of the file up to the batch's last, skipped ones included
    qint64 bytesEnd = 0;               // bytes of the file read up to the end of the last line
    qint64 wholeEnd = 0;               // bytes of the file up to the end of its last whole line
    // Where the lines came from, to name one the store refuses: the start of a line carried
    // over from the chunk before (its first kKeptLineBytes bytes) and the chunk itself.
    std::string carried;
    std::vector<char> chunk;
    // The batch that ends the load: the end of the file, a read error or a malformed line.
    bool last = false;
    qint32 errorNumber = 0;            // 0: no error
    QString errorDescription;
    QString errorBuffer;
    // Damaged lines skipped in the batch: how many, the numbers of those still listed, and
    // for the first of the file its reason and text.
    qint64 damaged = 0;
    std::vector<qint64> damagedLines;
    QString firstDamagedWhy;
    QString firstDamagedText;
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

// Where message i of a batch stands in the batch's lines.
std::size_t LineInBatch(const Batch& b, std::size_t i) { return b.lineOf.empty() ? i : b.lineOf[i]; }

// Reads the file and cuts it into messages on a thread of its own, a bounded number of
// batches ahead of the store.
class BatchReader {
public:
    // fileName: the file's name for messages (a file opened by its handle no longer knows it).
    BatchReader(QFile& file, QString fileName, const Log::LoadOptions& options)
        : m_file(file), m_fileName(std::move(fileName)), m_options(options), m_thread([this] { Run(); }) {}
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
        qint64 wholeEnd = 0;    // bytes up to the end of the last whole line
        qint64 lineNumber = 0;  // lines read so far
        bool kindKnown = false;
        bool capture = false;
        qint64 damagedSoFar = 0;
        for (bool last = false; !last;) {
            Batch b;
            b.linesBefore = lineNumber;
            std::uint32_t lineInBatch = 0;
            try {
                b.carried = line;
                std::vector<char> chunk = SpareChunk();
                const qint64 got = m_file.read(chunk.data(), kChunkBytes);
                // A damaged line that does not end the load: counted, listed, left out.
                // From the first line of the batch that is no message on, each message
                // notes its line.
                auto passOver = [&] {
                    if (b.lineOf.empty())
                        for (std::uint32_t k = 0; k < std::uint32_t(b.messages.size()); ++k) b.lineOf.push_back(k);
                };
                auto skip = [&](const QString& why, const QString& text) {
                    passOver();
                    ++b.damaged;
                    if (std::size_t(damagedSoFar) < Log::kListedDamagedLines) b.damagedLines.push_back(lineNumber);
                    if (damagedSoFar++ == 0) {
                        b.firstDamagedWhy = why;
                        b.firstDamagedText = text;
                    }
                };
                auto keep = [&](MessageRef&& message) {
                    if (!b.lineOf.empty()) b.lineOf.push_back(lineInBatch);
                    b.messages.push_back(std::move(message));
                };
                // Hands one whole line on as a message; false when it is not an envelope.
                auto addLine = [&]() -> bool {
                    if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF ends a line
                    ++lineNumber;
                    if (!kindKnown) {
                        kindKnown = true;
                        capture = capturefile::IsCaptureFileStart(line);
                    }
                    if (!capture) {
                        QString why;
                        MessageRef message = logfile::ReadLine(line, &why);
                        if (message) {
                            keep(std::move(message));
                        } else if (!m_options.skipDamaged) {
                            b.errorNumber = Log::kErrBadLine;
                            b.errorDescription = QStringLiteral("Not a message envelope (%1)").arg(why);
                            b.errorBuffer = FromCodePage(logfile::Unescape(line));
                            return false;
                        } else if (!line.empty()) {
                            skip(QStringLiteral("Not a message envelope (%1)").arg(why),
                                 FromCodePage(logfile::Unescape(line)));
                        } else {
                            passOver();  // an empty line holds nothing: passed over, not damaged
                        }
                    } else if (!line.empty()) {
                        capturefile::Line read;
                        QString why;
                        if (capturefile::ReadLine(line, read, &why)) {
                            b.sent.push_back({read.sentAt, read.processId, read.threadId});
                            keep(std::move(read.message));
                        } else {
                            skip(QStringLiteral("Not a capture line (%1)").arg(why), FromCodePage(line));
                        }
                    } else {
                        passOver();  // an empty line holds nothing: passed over, not damaged
                    }
                    ++lineInBatch;
                    line.clear();
                    lineCut = false;
                    return true;
                };
                if (got < 0) {
                    b.errorNumber = Log::kErrDeviceIO;
                    b.errorDescription = QStringLiteral("Cannot read %1: %2").arg(m_fileName, m_file.errorString());
                    b.errorBuffer = FromCodePage(line);
                    b.last = true;
                } else if (got == 0) {
                    // A last line without CR LF, unless it may still be being written.
                    if ((!line.empty() || lineCut) && !m_options.wholeLinesOnly) addLine();
                    b.last = true;
                } else {
                    chunk.resize(std::size_t(got));
                    const qint64 chunkStart = bytesRead;
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
                        wholeEnd = chunkStart + qint64(p - chunk.data());
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
            b.capture = capture;
            b.linesEnd = lineNumber;
            b.wholeEnd = wholeEnd;
            last = b.last;
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || m_ready.size() < kBatchesAhead; });
            if (m_stop) return;
            m_ready.push_back(std::move(b));
            m_changed.notify_all();
        }
    }

    QFile& m_file;
    const QString m_fileName;
    const Log::LoadOptions m_options;
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
    return SaveAs(Format::Log, fileName, progress, cancelled);
}

bool Log::SaveCapture(const QString& fileName, LogProgress* progress, bool* cancelled) {
    return SaveAs(Format::Capture, fileName, progress, cancelled);
}

bool Log::SaveAs(Format format, const QString& fileName, LogProgress* progress, bool* cancelled) {
    if (cancelled) *cancelled = false;
    TraceTree& tree = m_store.Pages().GetCurrent();
    if (tree.IsEmpty()) return true;  // no file is written, an existing one is left alone

    bool stopped = false;
    const ErrorInfo error = WriteFile(format, tree, fileName, progress, &stopped);
    if (cancelled) *cancelled = stopped;
    if (stopped) return false;
    if (error.number == 0) return true;
    // The temporary file is gone by now, so a full disk has its space back while the box shows.
    ShowErrors(ProgramTitle(), nullptr, error);
    return false;
}

ErrorInfo Log::WriteFile(Format format, TraceTree& tree, const QString& fileName, LogProgress* progress,
                         bool* cancelled) {
    const QString kind = format == Format::Log ? QStringLiteral("log file") : QStringLiteral("capture file");
    QSaveFile file(fileName);
    QString why;
    switch (OpenForReplacing(file, &why)) {
    case ReplaceOutcome::Opened: break;
    case ReplaceOutcome::ReadOnly: return {kErrPermission, QStringLiteral("The %1 %2 is read-only").arg(kind, fileName)};
    case ReplaceOutcome::NotAFile: return {kErrFileAccess, QStringLiteral("Cannot create the %1: %2").arg(kind, why)};
    case ReplaceOutcome::Failed: return {kErrFileAccess, QStringLiteral("Cannot create the %1 %2: %3").arg(kind, fileName, why)};
    }
    auto writeFailed = [&] {
        const QString reason = file.errorString();
        file.cancelWriting();
        if (progress) progress->End();
        return ErrorInfo{kErrDeviceIO, QStringLiteral("Cannot write the %1 %2: %3").arg(kind, fileName, reason)};
    };
    std::string buffer;
    buffer.reserve(std::size_t(kChunkBytes) + 4096);
    const int count = tree.Count();
    qint64 written = 0;
    if (progress) progress->Begin(0);
    for (int i = 1; i <= count; ++i) {
        if (format == Format::Log) logfile::AppendLine(buffer, tree.Message(i));
        else capturefile::AppendLine(buffer, tree, i);
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
        return {kErrDeviceIO, QStringLiteral("Cannot write the %1 %2: %3").arg(kind, fileName, file.errorString())};
    }
    return {};
}

namespace {

// The lines a load skipped as damaged, gathered from its batches.
void GatherDamaged(const Batch& b, Log::LoadResult& result, QString& firstWhy, QString& firstText) {
    if (b.damaged == 0) return;
    if (result.damaged == 0) {
        firstWhy = b.firstDamagedWhy;
        firstText = b.firstDamagedText;
    }
    result.damaged += b.damaged;
    for (qint64 line : b.damagedLines)
        if (result.damagedLines.size() < Log::kListedDamagedLines) result.damagedLines.push_back(line);
}

// The box of a load's skipped lines, or of the error that ended it (with the skipped lines
// below); nothing when there is neither. fileName, when given, is named in it (a file of
// several loaded together).
void ShowLoadProblems(const Log::LoadResult& result, const QString& firstWhy, const QString& firstText,
                      const QString& fileName = {}) {
    if (result.ok && result.damaged == 0) return;
    ErrorList list;
    if (result.damaged > 0) {
        QStringList numbers;
        for (qint64 line : result.damagedLines) numbers << QString::number(line);
        QString text = QStringLiteral("Damaged lines skipped: ") + numbers.join(QStringLiteral(", "));
        const qint64 unlisted = result.damaged - qint64(result.damagedLines.size());
        if (unlisted > 0) text += QStringLiteral(" and %1 more").arg(unlisted);
        list << text;
    }
    const QString in = fileName.isEmpty() ? QString() : QStringLiteral(" in %1").arg(QDir::toNativeSeparators(fileName));
    ErrorInfo error = result.error;
    if (result.ok) {
        // The first skipped line stands for them all, as a log's bad line does.
        const qint64 first = result.damagedLines.empty() ? 0 : result.damagedLines.front();
        const QString count = result.damaged == 1 ? QStringLiteral("1 damaged line skipped")
                                                  : QStringLiteral("%1 damaged lines skipped").arg(result.damaged);
        error = {Log::kErrBadLine, Log::LoadErrorText(first, firstText,
                                                      QStringLiteral("%1%2; %3, every other line loaded").arg(firstWhy, in, count))};
    } else if (!in.isEmpty()) {
        error.description += in;
    }
    ShowErrors(Log::LoadErrorCaption(), list.isEmpty() ? nullptr : &list, error);
}

// How loaded lines reach their destination: the store, or the lines gathered for merging.
// Take(batch, i) takes message i of a batch; Reserve(lines) makes room for about that many.
template <class Take, class Reserve>
void ReadBatches(QFile& file, const QString& fileName, const Log::LoadOptions& options, LogProgress* progress, qint64 bytesBefore,
                 Log::LoadResult& result, QString& firstWhy, QString& firstText, Take take, Reserve reserve) {
    qint64 record = 0;
    auto fail = [&](qint32 number, const QString& description, const QString& buffer) {
        result.ok = false;
        result.error = {number, Log::LoadErrorText(record, buffer, description)};
    };
    try {
        const qint64 fileSize = file.size();  // asked before the reader owns the file
        BatchReader reader(file, fileName, options);
        bool reserved = false;
        qint64 taken = 0;
        for (;;) {
            Batch b = reader.Next();
            if (b.linesEnd > 0) {
                result.kindKnown = true;
                result.capture = b.capture;
            }
            GatherDamaged(b, result, firstWhy, firstText);
            std::size_t i = 0;
            bool stop = false;
            try {
                for (; i < b.messages.size() && !stop; ++i) {
                    record = b.linesBefore + qint64(LineInBatch(b, i)) + 1;
                    take(b, i);
                    if (progress && ++taken % kStepLines == 0 && !progress->Step(bytesBefore + b.bytesEnd, record))
                        stop = true;
                }
            } catch (const AppError& e) {
                fail(e.number(), e.description(), FromCodePage(LineOfBatch(b, LineInBatch(b, i))));
                break;
            } catch (const std::exception& e) {
                fail(Log::kErrDeviceIO, QString::fromLocal8Bit(e.what()), FromCodePage(LineOfBatch(b, LineInBatch(b, i))));
                break;
            }
            if (stop) {
                result.stopped = true;
                break;
            }
            record = b.linesEnd;  // a malformed line that ends the load counts
            if (b.errorNumber != 0) {
                fail(b.errorNumber, b.errorDescription, b.errorBuffer);
                break;
            }
            result.bytesRead = b.wholeEnd;
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
                        reserve(qint64(std::min(rest, 1e9)));
                    } catch (const std::bad_alloc&) {
                        // only a head start: the store grows as it goes instead
                    }
                }
            }
            reader.Recycle(std::move(b.chunk));
            // After every piece too, so that a file without line ends can be stopped.
            if (progress && !progress->Step(bytesBefore + b.bytesEnd, record)) {
                result.stopped = true;
                break;
            }
        }
    } catch (const std::exception& e) {  // no second thread to be had
        fail(Log::kErrDeviceIO, QString::fromLocal8Bit(e.what()), QString());
    }
    result.lines = record;
}

// Opens a file for a load; on failure the result says why (record number 0, no buffer).
bool OpenForLoad(QFile& file, Log::LoadResult& result) {
    const QString fileName = file.fileName();
    QString whyNot;
    const OpenOutcome opened = OpenRegularFileForReading(file, &whyNot);
    if (opened == OpenOutcome::Opened) {
        result.opened = true;
        return true;
    }
    result.ok = false;
    result.error = {opened == OpenOutcome::Missing ? Log::kErrFileNotFound : Log::kErrFileAccess,
                    Log::LoadErrorText(0, QString(),
                                       opened == OpenOutcome::Failed
                                           ? QStringLiteral("Cannot open %1: %2").arg(fileName, whyNot)
                                           : whyNot)};
    return false;
}

}  // namespace

Log::LoadResult Log::Load(const QString& fileName, LogProgress* progress) {
    QFile file(fileName);
    return Load(file, progress, {});
}

Log::LoadResult Log::Load(QFile& file, LogProgress* progress, const LoadOptions& options) {
    LoadResult result;
    const QString fileName = file.fileName();  // a file opened by its handle forgets it
    QString firstWhy, firstText;
    // Only a regular file is read: a named pipe, a device or a folder is refused at once,
    // without waiting for a writer or reading an endless stream.
    if (file.isOpen()) result.opened = true;
    else OpenForLoad(file, result);
    const bool opened = result.opened;
    if (progress) progress->Begin(opened ? file.size() : 0);
    if (opened && m_store.ProcessMessages()) {
        // The file is read and cut into messages on a second thread while this one hands
        // them to the store, in file order. A capture line's message keeps its send time and
        // where it came from.
        LineOrigin origin{QFileInfo(fileName).absoluteFilePath()};
        auto take = [&](const Batch& b, std::size_t i) {
            const MessageRef& message = b.messages[i];
            if (!b.capture) {
                m_store.Add(message);
                return;
            }
            if (IsType(message->MessageType(), EnumMessageType::SendScratch)) {
                if (m_scratch) m_scratch(message->RecordNumber(), message->Message());
                return;
            }
            const Sent& sent = b.sent[i];
            origin.processId = sent.processId;
            origin.threadId = sent.threadId;
            m_store.Add(message, sent.at, &origin);
        };
        ReadBatches(file, fileName, options, progress, 0, result, firstWhy, firstText, take,
                    [&](qint64 lines) { m_store.ReserveLines(lines); });
    }
    if (progress) progress->End();
    ShowLoadProblems(result, firstWhy, firstText);
    return result;
}

Log::LoadResult Log::LoadMerged(const QStringList& fileNames, LogProgress* progress) {
    if (fileNames.size() == 1) return Load(fileNames.front(), progress);
    // One line read, waiting for its place.
    struct Pending {
        MessageRef message;
        Sent sent;
    };
    struct Source {
        QString path;
        std::unique_ptr<QFile> file;
        LoadResult result;
        QString firstWhy, firstText;
        std::vector<Pending> lines;
        std::size_t next = 0;  // the first line not yet added
    };
    std::vector<Source> sources(std::size_t(fileNames.size()));
    qint64 totalBytes = 0;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        Source& s = sources[k];
        s.path = QFileInfo(fileNames[qsizetype(k)]).absoluteFilePath();
        s.file = std::make_unique<QFile>(fileNames[qsizetype(k)]);
        if (OpenForLoad(*s.file, s.result)) totalBytes += s.file->size();
    }
    LoadResult merged;
    if (progress) progress->Begin(totalBytes);
    bool stopped = false;
    if (m_store.ProcessMessages()) {
        // First every file is read, each on its own in turn, into lines waiting for their place.
        qint64 bytesBefore = 0;
        for (Source& s : sources) {
            if (!s.result.opened || stopped) continue;
            auto take = [&](const Batch& b, std::size_t i) {
                s.lines.push_back({b.messages[i], b.capture ? b.sent[i] : Sent{}});
            };
            ReadBatches(*s.file, s.path, {}, progress, bytesBefore, s.result, s.firstWhy, s.firstText, take,
                        [&](qint64 lines) { s.lines.reserve(s.lines.size() + std::size_t(lines)); });
            stopped = s.result.stopped;
            bytesBefore += s.file->size();
            s.file.reset();
        }
        // Then the capture files' lines by their send time, each file's in its own order, and
        // after them the log files' lines in file order.
        qint64 added = 0;
        LineOrigin origin;
        auto add = [&](Source& s) {
            const Pending& p = s.lines[s.next++];
            if (origin.file.constData() != s.path.constData()) origin.file = s.path;
            if (s.result.capture && IsType(p.message->MessageType(), EnumMessageType::SendScratch)) {
                if (m_scratch) m_scratch(p.message->RecordNumber(), p.message->Message());
            } else {
                origin.processId = p.sent.processId;
                origin.threadId = p.sent.threadId;
                m_store.Add(p.message, p.sent.at, &origin);
            }
            ++added;
            return !(progress && added % kStepLines == 0 && !progress->Step(totalBytes, added));
        };
        std::size_t total = 0;
        for (const Source& s : sources) total += s.lines.size();
        if (!stopped) {
            try {
                m_store.ReserveLines(qint64(total));
            } catch (const std::bad_alloc&) {
                // only a head start
            }
        }
        auto earlier = [&](std::size_t a, std::size_t b) {  // for a heap: true when b comes first
            const qint64 ta = sources[a].lines[sources[a].next].sent.at;
            const qint64 tb = sources[b].lines[sources[b].next].sent.at;
            return ta != tb ? ta > tb : a > b;
        };
        std::vector<std::size_t> heads;
        for (std::size_t k = 0; k < sources.size(); ++k)
            if (sources[k].result.capture && !sources[k].lines.empty()) heads.push_back(k);
        std::make_heap(heads.begin(), heads.end(), earlier);
        while (!stopped && !heads.empty()) {
            std::pop_heap(heads.begin(), heads.end(), earlier);
            const std::size_t k = heads.back();
            heads.pop_back();
            stopped = !add(sources[k]);
            if (sources[k].next < sources[k].lines.size()) {
                heads.push_back(k);
                std::push_heap(heads.begin(), heads.end(), earlier);
            }
        }
        bool logs = false;
        for (Source& s : sources) {
            if (s.result.capture || s.lines.empty()) continue;
            logs = true;
            while (!stopped && s.next < s.lines.size()) stopped = !add(s);
        }
        merged.lines = added;
        merged.note = QStringLiteral("%1 files merged by send time").arg(sources.size());
        if (logs) merged.note += QStringLiteral("; log files hold no times: their lines follow in file order");
    }
    merged.stopped = stopped;
    if (progress) progress->End();
    for (std::size_t k = 0; k < sources.size(); ++k) {
        Source& s = sources[k];
        // Lines not added when the load was stopped go here, not in the store.
        std::vector<Pending>().swap(s.lines);
        ShowLoadProblems(s.result, s.firstWhy, s.firstText, s.path);
        merged.ok = merged.ok && s.result.ok;
        merged.opened = merged.opened || s.result.opened;
        merged.damaged += s.result.damaged;
        if (s.result.ok || s.result.lines > 1) merged.loadedFiles << fileNames[qsizetype(k)];
        if (!s.result.ok && merged.error.number == 0) merged.error = s.result.error;
    }
    return merged;
}

}  // namespace tw::viewer
