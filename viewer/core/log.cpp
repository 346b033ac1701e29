#include "core/log.hpp"

#include "core/log_format.hpp"
#include "core/message_manager.hpp"
#include "core/trace_pages.hpp"
#include "core/trace_tree.hpp"

#include <tw/messaging/codepage.hpp>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace tw::viewer {

namespace {

constexpr qint64 kChunkBytes = 1 << 20;        // read and write in 1 MiB pieces
constexpr std::size_t kKeptLineBytes = 4096;   // more than any envelope the reader looks at
constexpr qint64 kStepLines = 8192;            // progress is reported this often

QString FromCodePage(std::string_view bytes) {
    const std::string utf8 = tw::messaging::CodePageToUtf8(bytes);
    return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

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

bool Log::Save(const QString& fileName) {
    TraceTree& tree = m_store.Pages().GetCurrent();
    if (tree.IsEmpty()) return true;  // no file is written, an existing one is left alone

    ErrorInfo error;
    QSaveFile file(fileName);
    // A file marked read-only is never replaced. The save file checks this itself for a user
    // who may not write it, but not for one who may write anything, so its mode is looked at.
    const QFileInfo existing(fileName);
    if (existing.isFile() && !(existing.permissions() & QFileDevice::WriteOwner)) {
        error = {kErrPermission, QStringLiteral("The log file %1 is read-only").arg(fileName)};
    } else if (!file.open(QIODevice::WriteOnly)) {
        error = {kErrFileAccess, QStringLiteral("Cannot create the log file %1: %2").arg(fileName, file.errorString())};
    } else {
        std::string buffer;
        buffer.reserve(std::size_t(kChunkBytes) + 4096);
        const int count = tree.Count();
        for (int i = 1; i <= count && error.number == 0; ++i) {
            logfile::AppendLine(buffer, tree.Message(i));
            if (qint64(buffer.size()) >= kChunkBytes || i == count) {
                if (file.write(buffer.data(), qint64(buffer.size())) != qint64(buffer.size()))
                    error = {kErrDeviceIO,
                             QStringLiteral("Cannot write the log file %1: %2").arg(fileName, file.errorString())};
                buffer.clear();
            }
        }
        if (error.number == 0 && !file.commit())
            error = {kErrDeviceIO, QStringLiteral("Cannot write the log file %1: %2").arg(fileName, file.errorString())};
        if (error.number != 0) file.cancelWriting();  // the temporary file goes, the old file stays
    }
    if (error.number == 0) return true;
    ShowErrors(ProgramTitle(), nullptr, error);
    return false;
}

Log::LoadResult Log::Load(const QString& fileName, LogProgress* progress) {
    LoadResult result;
    std::string line;       // the line being read (its first kKeptLineBytes bytes)
    bool lineCut = false;
    qint64 record = 0;

    auto fail = [&](qint32 number, const QString& description, const QString& buffer) {
        result.ok = false;
        result.error = {number, LoadErrorText(record, buffer, description)};
    };

    QFile file(fileName);
    const bool opened = file.open(QIODevice::ReadOnly);
    if (progress) progress->Begin(opened ? file.size() : 0);
    if (!opened) {
        const bool missing = !QFileInfo::exists(fileName);
        fail(missing ? kErrFileNotFound : kErrFileAccess,
             missing ? QStringLiteral("File not found: %1").arg(fileName)
                     : QStringLiteral("Cannot open %1: %2").arg(fileName, file.errorString()),
             QString());
    } else if (m_store.ProcessMessages()) {
        std::vector<char> chunk(static_cast<std::size_t>(kChunkBytes));
        qint64 bytesRead = 0;

        // Hands one whole line to the store; false when it is not an envelope.
        auto addLine = [&]() -> bool {
            ++record;
            if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF ends a line
            QString why;
            MessageRef message = logfile::ReadLine(line, &why);
            if (!message) {
                fail(kErrBadLine, QStringLiteral("Not a message envelope (%1)").arg(why),
                     FromCodePage(logfile::Unescape(line)));
                return false;
            }
            m_store.Add(message);
            line.clear();
            lineCut = false;
            return true;
        };

        try {
            bool going = true;
            while (going) {
                const qint64 got = file.read(chunk.data(), kChunkBytes);
                if (got < 0) {
                    fail(kErrDeviceIO, QStringLiteral("Cannot read %1: %2").arg(fileName, file.errorString()),
                         FromCodePage(line));
                    break;
                }
                if (got == 0) {
                    if (!line.empty() || lineCut) going = addLine();  // a last line without CR LF
                    break;
                }
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
                        going = false;
                        break;
                    }
                    if (progress && record % kStepLines == 0 &&
                        !progress->Step(bytesRead - qint64(end - p), record)) {
                        result.stopped = true;
                        going = false;
                        break;
                    }
                }
            }
        } catch (const AppError& e) {
            fail(e.number(), e.description(), FromCodePage(line));
        } catch (const std::exception& e) {
            fail(kErrDeviceIO, QString::fromLocal8Bit(e.what()), FromCodePage(line));
        }
    }
    result.lines = record;
    if (progress) progress->End();
    if (!result.ok) ShowErrors(LoadErrorCaption(), nullptr, result.error);
    return result;
}

}  // namespace tw::viewer
