// twprofile: the profile of traced runs from capture files (or logs, which have no times):
// which formula took how long, per formula or per record, as a table, CSV or Chrome trace.
#include "tw/core/profiler.hpp"
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/codepage.hpp"
#include "tw/messaging/envelope.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tw::viewer::DurationText;
using tw::viewer::Profiler;

void Usage(FILE* to) {
    std::fputs(
        "usage: twprofile [options] FILE...\n"
        "The profile of traced report runs: per formula and subreport the calls, total and self time\n"
        "(total less the calls made inside), mean, the slowest call and its record number, and the\n"
        "messages sent. FILEs are capture files (their send times are used; several are merged by\n"
        "time, each process and thread with a call stack of its own) or logs (no times: calls and\n"
        "message counts only).\n"
        "options:\n"
        "  --by-record         the time of each record number (first to last message) and its top formulas\n"
        "  --csv               comma-separated values instead of a table\n"
        "  --top N             the first N rows only\n"
        "  --chrome-trace OUT  also write the run as Chrome trace JSON (Perfetto, chrome://tracing)\n"
        "exit status: 0 done, 1 usage, 2 a file that cannot be read or holds no trace\n",
        to);
}

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
    bool Open(const std::vector<std::string>& paths, bool report) {
        m_report = report;
        for (const std::string& path : paths) {
            auto reader = std::make_unique<FileReader>();
            reader->path = path;
            std::string why;
            if (!reader->Open(why)) {
                std::fprintf(stderr, "twprofile: cannot read %s: %s\n", path.c_str(), why.c_str());
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
                std::fprintf(stderr, "twprofile: cannot read %s: no trace line in it\n", r->path.c_str());
                return false;
            }
        return true;
    }

private:
    FileReader* Finish(FileReader* r) {
        if (m_report && r->bad)
            std::fprintf(stderr, "twprofile: %s: %ld line%s skipped, the first is line %ld\n", r->path.c_str(), r->bad,
                         r->bad == 1 ? "" : "s", r->firstBad);
        return nullptr;
    }
    std::vector<std::unique_ptr<FileReader>> m_readers;
    std::vector<FileReader*> m_live;
    FileReader* m_current = nullptr;
    std::size_t m_currentSlot = 0;
    bool m_timed = true;
    bool m_report = true;
};

std::string Utf8(std::string_view codePage) { return tw::messaging::CodePageToUtf8(codePage); }


}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    bool byRecord = false, csv = false;
    long top = -1;
    std::string chrome;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--by-record")
            byRecord = true;
        else if (a == "--csv")
            csv = true;
        else if (a == "--top" && more)
            top = std::strtol(argv[++i], nullptr, 10);
        else if (a == "--chrome-trace" && more)
            chrome = argv[++i];
        else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "twprofile: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 1;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        Usage(stderr);
        return 1;
    }
    Merged merged;
    if (!merged.Open(files, true)) return 2;
    const bool timed = merged.Timed();
    Profiler p;
    while (FileReader* r = merged.Next())
        p.Add(r->fields.type, r->fields.recordNumber, r->fields.message, r->micros, 0, r->stream);
    if (!merged.AllHadLines()) return 2;

    if (!csv) {
        std::printf("twprofile: %zu messages, %zu calls", std::size_t(p.Messages()), p.Calls().size());
        if (p.PassCount() > 1) std::printf(", %d passes (record numbers began again)", p.PassCount());
        if (p.StrayExits())
            std::printf(", %llu exits with nothing open", static_cast<unsigned long long>(p.StrayExits()));
        if (!timed)
            std::printf("; no times in %s: calls and messages only",
                        files.size() > 1 ? "these files" : "this file");
        else if (p.SendCost() > 0)
            std::printf(
                "; one send costs about %s (the median gap between back-to-back messages); Self~ takes it "
                "out",
                DurationText(p.SendCost()).c_str());
        std::printf("\n");
    }
    if (byRecord) {
        if (csv)
            std::printf("Pass,Record,Time,Messages,Top formulas\n");
        else
            std::printf("%-5s %-10s %12s %9s  %s\n", "Pass", "Record", "Time", "Messages", "Top formulas");
        long n = 0;
        for (const auto& r : p.ByRecord()) {
            if (top >= 0 && n++ >= top) break;
            std::string tops;
            for (const auto& [name, self] : r.top)
                tops += (tops.empty() ? "" : ", ") + Utf8(p.Names()[name]) +
                        (timed ? " " + DurationText(self) : "");
            const std::string time = timed ? DurationText(r.last - r.first) : "";
            if (csv)
                std::printf("%d,%d,%s,%llu,%s\n", r.pass + 1, r.record, time.c_str(),
                            static_cast<unsigned long long>(r.messages), tw::viewer::CsvField(tops).c_str());
            else
                std::printf("%-5d %-10d %12s %9llu  %s\n", r.pass + 1, r.record, time.c_str(),
                            static_cast<unsigned long long>(r.messages), tops.c_str());
        }
    } else if (csv) {
        const std::string table = tw::viewer::ProfileCsv(p);
        std::fwrite(table.data(), 1, table.size(), stdout);
    } else {
        std::printf("%-32s %7s %12s %12s %12s %12s %12s %13s %9s\n", "Formula", "Calls", "Total", "Self",
                    "Self~", "Mean", "Max", "Max at record", "Messages");
        long n = 0;
        for (const auto& r : p.Rows()) {
            if (top >= 0 && n++ >= top) break;
            auto t = [&](std::int64_t v) { return timed ? DurationText(v) : std::string(); };
            const std::string name =
                Utf8(p.Names()[r.name]) + (r.open ? " (" + std::to_string(r.open) + " open)" : "");
            std::printf("%-32s %7llu %12s %12s %12s %12s %12s %13d %9llu\n", name.c_str(),
                        static_cast<unsigned long long>(r.calls), t(r.total).c_str(), t(r.self).c_str(),
                        t(p.SelfWithoutSends(r)).c_str(), t(r.Mean()).c_str(), t(r.max).c_str(), r.maxRecord,
                        static_cast<unsigned long long>(r.messages));
        }
    }
    std::string json;
    if (!chrome.empty()) {
        // The messages once more, for their instants.
        Merged again;
        if (!again.Open(files, false)) return 2;
        json = tw::viewer::ChromeTraceJson(p, [&](tw::viewer::TraceMessage& m) {
            FileReader* r = again.Next();
            if (!r) return false;
            m = {r->fields.type, r->fields.recordNumber, r->fields.objectName, r->fields.objectValue, r->fields.message,
                 r->micros, r->stream};
            return true;
        });
    }
    FILE* out = chrome.empty() ? nullptr : std::fopen(chrome.c_str(), "wb");
    const bool written = out && std::fwrite(json.data(), 1, json.size(), out) == json.size();
    if (out && std::fclose(out) != 0) out = nullptr;
    if (!chrome.empty() && (!out || !written)) {
        std::fprintf(stderr, "twprofile: cannot write %s: %s\n", chrome.c_str(), std::strerror(errno));
        return 2;
    }
    return 0;
}
