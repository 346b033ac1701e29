#include "tw/core/file_follower.hpp"

#include "tw/common/files.hpp"
#include "tw/core/capture_file.hpp"
#include "tw/core/log_format.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/codepage.hpp"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tw::viewer {

namespace {

constexpr std::size_t kKeptLineBytes = 4096;  // as a load keeps
constexpr qint64 kReadBytes = 1 << 20;        // one read
constexpr int kNotedLines = 10;               // line numbers a note names at most

QString Shown(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).fileName()); }

#ifdef _WIN32
// Windows gives no file number through Qt; a file begun anew under the name has a new
// creation time.
QDateTime CreatedAt(const QString& path) { return QFileInfo(path).birthTime(); }
#endif

}  // namespace

FileFollower::FileFollower(MessageManager& store, Log::ScratchTarget scratch, QObject* parent)
    : QObject(parent), m_store(store), m_scratch(std::move(scratch)) {
    setObjectName(QStringLiteral("fileFollower"));
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &FileFollower::Poll);
}

FileFollower::~FileFollower() {
    if (m_tree) m_tree->RemoveObserver(this);
}

bool FileFollower::Start(const QString& path, LogProgress* progress) {
    Stop();
    auto file = std::make_unique<QFile>(path);
    Log::LoadOptions options;
    options.wholeLinesOnly = true;  // the last line may still be being written
    options.skipDamaged = true;     // following goes on past a damaged line
    const Log::LoadResult loaded = Log(m_store, m_scratch).Load(*file, progress, options);
    if (!loaded.opened || !loaded.ok || loaded.stopped) return false;
    m_path = path;
    m_file = std::move(file);
#ifdef _WIN32
    m_created = CreatedAt(path);
#endif
    m_offset = loaded.bytesRead;
    m_partial.clear();
    m_partialBytes = 0;
    m_lineNumber = loaded.lines;
    m_kindKnown = loaded.kindKnown;
    m_capture = loaded.capture;
    m_origin = LineOrigin{QFileInfo(path).absoluteFilePath()};
    m_tree = &m_store.Pages().GetDefault();
    m_tree->AddObserver(this);
    m_timer.start(kPollMs);
    return true;
}

void FileFollower::Stop() {
    if (IsFollowing()) Finish({});
}

void FileFollower::Finish(const QString& why) {
    m_timer.stop();
    m_file.reset();
    if (m_tree) m_tree->RemoveObserver(this);
    m_tree = nullptr;
    emit stopped(why);
}

void FileFollower::Cleared() {
    Finish(QStringLiteral("Stopped following %1: the page was cleared.").arg(Shown(m_path)));
}

void FileFollower::TreeDestroyed() {
    m_tree = nullptr;
    Finish({});
}

void FileFollower::Poll() {
    if (!m_file) return;
    if (m_store.ProcessMessages()) {
        m_damaged.clear();
        m_damagedCount = 0;
        qint64 budget = kBytesPerPoll;
        bool more = false;
        if (!ReadAppended(budget, &more)) return;
        if (!more && Replaced()) {
            // The old file is read to its end: its last line is whole now, whatever it holds.
            if (m_partialBytes > 0) TakeLine(m_partial);
            m_partial.clear();
            m_partialBytes = 0;
            if (!OpenAgain()) return;
            emit note(QStringLiteral("%1 was replaced by a new file: reading that from its start.")
                          .arg(Shown(m_path)));
            if (!ReadAppended(budget, &more)) return;
        }
        NoteDamaged();
        if (!m_file) return;  // the page was cleared meanwhile
        m_timer.start(more ? 0 : kPollMs);
        return;
    }
    m_timer.start(kPollMs);  // messaging stopped: the lines wait in the file
}

bool FileFollower::ReadAppended(qint64& budget, bool* more) {
    const qint64 size = m_file->size();
    if (size < m_offset + m_partialBytes) {
        // Shorter than what was read: written anew from its start.
        m_offset = 0;
        m_partial.clear();
        m_partialBytes = 0;
        m_lineNumber = 0;
        emit note(QStringLiteral("%1 got shorter: reading it again from its start.").arg(Shown(m_path)));
    }
    qint64 at = m_offset + m_partialBytes;
    if (at >= size) return true;
    if (!m_file->seek(at)) {
        Finish(QStringLiteral("Stopped following %1: %2").arg(Shown(m_path), m_file->errorString()));
        return false;
    }
    std::vector<char> chunk;
    while (at < size && budget > 0 && m_file) {
        chunk.resize(std::size_t(std::min({kReadBytes, size - at, budget})));
        const qint64 got = m_file->read(chunk.data(), qint64(chunk.size()));
        if (got < 0) {
            Finish(QStringLiteral("Stopped following %1: %2").arg(Shown(m_path), m_file->errorString()));
            return false;
        }
        if (got == 0) break;
        budget -= got;
        const char* p = chunk.data();
        const char* end = p + got;
        while (p < end && m_file) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', std::size_t(end - p)));
            const char* stop = nl ? nl : end;
            const std::size_t room =
                kKeptLineBytes > m_partial.size() ? kKeptLineBytes - m_partial.size() : 0;
            m_partial.append(p, std::min(room, std::size_t(stop - p)));
            m_partialBytes += qint64(stop - p);
            if (!nl) break;
            m_offset += m_partialBytes + 1;
            m_partialBytes = 0;
            TakeLine(m_partial);
            m_partial.clear();
            p = nl + 1;
        }
        at += got;
    }
    if (!m_file) return false;  // the page was cleared by what a line did
    *more = at < m_file->size();
    return true;
}

void FileFollower::TakeLine(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++m_lineNumber;
    if (line.empty()) return;  // holds nothing
    if (!m_kindKnown) {
        m_kindKnown = true;
        m_capture = capturefile::IsCaptureFileStart(line);
    }
    QString why;
    if (!m_capture) {
        if (MessageRef message = logfile::ReadLine(line, &why)) {
            m_store.Add(message);
            return;
        }
        why = QStringLiteral("Not a message envelope (%1)").arg(why);
    } else {
        capturefile::Line read;
        if (capturefile::ReadLine(line, read, &why)) {
            if (IsType(read.message->MessageType(), EnumMessageType::SendScratch)) {
                if (m_scratch) m_scratch(read.message->RecordNumber(), read.message->Message());
                return;
            }
            m_origin.processId = read.processId;
            m_origin.threadId = read.threadId;
            m_store.Add(read.message, read.sentAt, &m_origin);
            return;
        }
        why = QStringLiteral("Not a capture line (%1)").arg(why);
    }
    if (m_damagedCount++ == 0) m_firstDamagedWhy = why;
    if (m_damaged.size() < std::size_t(kNotedLines)) m_damaged.push_back(m_lineNumber);
}

void FileFollower::NoteDamaged() {
    if (m_damagedCount == 0) return;
    if (m_damagedCount == 1) {
        emit note(QStringLiteral("Line %1 of %2 is damaged and was skipped: %3")
                      .arg(m_damaged.front())
                      .arg(Shown(m_path), m_firstDamagedWhy));
        return;
    }
    QStringList numbers;
    for (qint64 line : m_damaged) numbers << QString::number(line);
    if (m_damagedCount > qint64(m_damaged.size())) numbers << QStringLiteral("...");
    emit note(QStringLiteral("%1 damaged lines of %2 were skipped (lines %3): %4")
                  .arg(QLocale().toString(m_damagedCount), Shown(m_path), numbers.join(QStringLiteral(", ")),
                       m_firstDamagedWhy));
}

bool FileFollower::Replaced() const {
#ifndef _WIN32
    struct stat open {
    }, named{};
    const QByteArray name = QFile::encodeName(m_path);
    if (::stat(name.constData(), &named) != 0) return false;  // nothing has the name: the old file goes on
    if (::fstat(m_file->handle(), &open) != 0) return true;
    return open.st_dev != named.st_dev || open.st_ino != named.st_ino;
#else
    const QFileInfo info(m_path);
    return info.exists() && CreatedAt(m_path) != m_created;
#endif
}

bool FileFollower::OpenAgain() {
    auto file = std::make_unique<QFile>(m_path);
    QString why;
    if (OpenRegularFileForReading(*file, &why) != OpenOutcome::Opened) {
        Finish(QStringLiteral("Stopped following %1: %2").arg(Shown(m_path), why));
        return false;
    }
    m_file = std::move(file);
#ifdef _WIN32
    m_created = CreatedAt(m_path);
#endif
    m_offset = 0;
    m_partial.clear();
    m_partialBytes = 0;
    m_lineNumber = 0;
    return true;
}

}  // namespace tw::viewer
