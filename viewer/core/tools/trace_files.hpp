// Reading traced runs for the command-line tools: capture files and logs, line by line in
// blocks, several merged by send time (each file is in time order already).
#pragma once

#include "tw/core/trace_diff.hpp"
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::tools {

// One file's lines, read in blocks; a view of a line lasts until the next one is asked for.
class LineSource {
  public:
    bool Open(const std::string& path, std::string& why) {
        m_file = std::fopen(path.c_str(), "rb");
        if (!m_file) {
            why = std::strerror(errno);
            return false;
        }
        return true;
    }
    ~LineSource() {
        if (m_file) std::fclose(m_file);
    }
    bool Next(std::string_view& line) {
        for (;;) {
            const std::size_t end = m_buffer.find('\n', m_pos);
            if (end != std::string::npos) {
                line = std::string_view(m_buffer).substr(m_pos, end - m_pos);
                m_pos = end + 1;
                return true;
            }
            if (m_eof) {
                if (m_pos >= m_buffer.size()) return false;
                line = std::string_view(m_buffer).substr(m_pos);  // a last line without its end
                m_pos = m_buffer.size();
                return true;
            }
            m_buffer.erase(0, m_pos);
            m_pos = 0;
            const std::size_t have = m_buffer.size();
            m_buffer.resize(have + kBlock);
            const std::size_t got = std::fread(m_buffer.data() + have, 1, kBlock, m_file);
            m_buffer.resize(have + got);
            if (got < kBlock) m_eof = true;
        }
    }

  private:
    static constexpr std::size_t kBlock = 4 << 20;
    FILE* m_file = nullptr;
    std::string m_buffer;
    std::size_t m_pos = 0;
    bool m_eof = false;
};

// A log line back to its envelope: the zero byte introduces an escaped CR, LF or zero byte.
void UnescapeLogLine(std::string_view line, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\0') {
            out += line[i];
        } else if (i + 1 < line.size()) {
            const char e = line[++i];
            out += e == 'r' ? '\r' : e == 'n' ? '\n' : e == '0' ? '\0' : e;
        }
    }
}

// The messages of one file in order, with their times for a capture file.
struct FileReader {
    std::string path;
    LineSource source;
    bool capture = false;
    long number = 0, bad = 0, firstBad = 0, good = 0;
    std::string scratch;
    std::string pending;  // the first line, read to tell the kind of file
    bool havePending = false;
    // The current message.
    std::int64_t micros = 0;
    std::uint64_t stream = 0;
    std::string_view envelope;
    tw::messaging::EnvelopeView fields;

    bool Open(std::string& why) {
        if (!source.Open(path, why)) return false;
        std::string_view first;
        if (source.Next(first)) {
            pending.assign(first);
            havePending = true;
            std::string_view l = first;
            if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
            capture = tw::messaging::LooksLikeCaptureLine(l);
        }
        return true;
    }
    // The next good message; false at the end.
    bool Next() {
        for (;;) {
            std::string_view line;
            if (havePending) {
                line = pending;
                havePending = false;
            } else if (!source.Next(line)) {
                return false;
            }
            ++number;
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line.empty()) continue;
            bool ok;
            if (capture) {
                std::uint32_t pid = 0, tid = 0;
                ok = tw::messaging::ParseCaptureLineView(line, micros, pid, tid, envelope, scratch);
                stream = (std::uint64_t(pid) << 32) | tid;
            } else {
                micros = 0;
                stream = 0;
                if (line.find('\0') == std::string_view::npos) {
                    envelope = line;
                } else {
                    UnescapeLogLine(line, scratch);
                    envelope = scratch;
                }
                ok = true;
            }
            if (ok) {
                const auto read = tw::messaging::ReadEnvelopeView(envelope);
                if (read) {
                    fields = *read;
                    ++good;
                    return true;
                }
            }
            if (!bad++) firstBad = number;
        }
    }
};

// The messages of several files merged by time (each file is in time order already), or one
// file after the other when they have no times.
class Merged {
  public:
    // tool names the command in what it says about the files.
    bool Open(const char* tool, const std::vector<std::string>& paths, bool report) {
        m_tool = tool;
        m_report = report;
        for (const std::string& path : paths) {
            auto reader = std::make_unique<FileReader>();
            reader->path = path;
            std::string why;
            if (!reader->Open(why)) {
                std::fprintf(stderr, "%s: cannot read %s: %s\n", m_tool, path.c_str(), why.c_str());
                return false;
            }
            m_timed = m_timed && reader->capture;
            m_readers.push_back(std::move(reader));
        }
        for (auto& r : m_readers) m_live.push_back(r->Next() ? r.get() : Finish(r.get()));
        return true;
    }
    bool Timed() const { return m_timed; }
    // The next message; nullptr at the end.
    FileReader* Next() {
        if (m_current) m_live[m_currentSlot] = m_current->Next() ? m_current : Finish(m_current);
        m_current = nullptr;
        for (std::size_t i = 0; i < m_live.size(); ++i) {
            FileReader* r = m_live[i];
            if (!r) continue;
            if (!m_current || (m_timed && r->micros < m_current->micros)) {
                m_current = r;
                m_currentSlot = i;
            }
            if (!m_timed) break;  // one file after the other
        }
        return m_current;
    }
    bool AllHadLines() const {
        for (const auto& r : m_readers)
            if (r->good == 0) {
                std::fprintf(stderr, "%s: cannot read %s: no trace line in it\n", m_tool, r->path.c_str());
                return false;
            }
        return true;
    }

  private:
    FileReader* Finish(FileReader* r) {
        if (m_report && r->bad)
            std::fprintf(stderr, "%s: %s: %ld line%s skipped, the first is line %ld\n", m_tool,
                         r->path.c_str(), r->bad, r->bad == 1 ? "" : "s", r->firstBad);
        return nullptr;
    }
    std::vector<std::unique_ptr<FileReader>> m_readers;
    std::vector<FileReader*> m_live;
    FileReader* m_current = nullptr;
    std::size_t m_currentSlot = 0;
    bool m_timed = true;
    bool m_report = true;
    const char* m_tool = "";
};

// A read message as a comparison sees it: an object as "name = value".
inline viewer::DiffMessage ToDiffMessage(const messaging::EnvelopeView& f) {
    viewer::DiffMessage m;
    m.type = f.type;
    m.record = f.recordNumber;
    if (m.type == 4) {
        m.text.assign(f.objectName);
        m.text += " = ";
        m.text.append(f.objectValue);
    } else {
        m.text.assign(f.message);
    }
    return m;
}

}  // namespace tw::tools
