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
#include <fstream>
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

struct Message {
    std::int64_t micros = 0;
    std::uint64_t stream = 0;  // process id << 32 | thread id
    std::string envelope;
};

bool ReadWhole(const std::string& path, std::string& bytes, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = std::strerror(errno);
        return false;
    }
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0) {
        why = "cannot tell its size";
        return false;
    }
    in.seekg(0);
    bytes.resize(std::size_t(size));
    if (size > 0 && !in.read(bytes.data(), size)) {
        why = "read error";
        return false;
    }
    return true;
}

// A log line back to its envelope: the zero byte introduces an escaped CR, LF or zero byte.
std::string UnescapeLogLine(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\0') {
            out += line[i];
        } else if (i + 1 < line.size()) {
            const char e = line[++i];
            out += e == 'r' ? '\r' : e == 'n' ? '\n' : e == '0' ? '\0' : e;
        }
    }
    return out;
}

// Reads one file's messages; false (with the reason) when it cannot be read or holds none.
bool ReadFile(const std::string& path, std::vector<Message>& out, bool& timed, std::string& why) {
    std::string bytes;
    if (!ReadWhole(path, bytes, why)) return false;
    std::string_view rest(bytes);
    const std::size_t firstEnd = rest.find('\n');
    const bool capture = tw::messaging::LooksLikeCaptureLine(rest.substr(0, firstEnd));
    timed = capture;
    long number = 0, bad = 0, firstBad = 0;
    tw::messaging::CaptureRecord record;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        Message m;
        if (capture) {
            if (!tw::messaging::ParseCaptureLine(line, record)) {
                if (!bad++) firstBad = number;
                continue;
            }
            m.micros = record.sentAtMicros;
            m.stream = (std::uint64_t(record.processId) << 32) | record.threadId;
            m.envelope = std::move(record.envelope);
        } else {
            m.envelope =
                line.find('\0') == std::string_view::npos ? std::string(line) : UnescapeLogLine(line);
        }
        if (!tw::messaging::ReadEnvelopeView(m.envelope)) {
            if (!bad++) firstBad = number;
            continue;
        }
        out.push_back(std::move(m));
    }
    if (bad)
        std::fprintf(stderr, "twprofile: %s: %ld line%s skipped, the first is line %ld\n", path.c_str(), bad,
                     bad == 1 ? "" : "s", firstBad);
    if (out.empty()) {
        why = "no trace line in it";
        return false;
    }
    return true;
}

std::string Utf8(std::string_view codePage) { return tw::messaging::CodePageToUtf8(codePage); }

std::string Csv(const std::string& text) {
    if (text.find_first_of(",\"\n") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

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
    std::vector<Message> messages;
    bool timed = true;
    for (const std::string& file : files) {
        std::string why;
        bool fileTimed = false;
        if (!ReadFile(file, messages, fileTimed, why)) {
            std::fprintf(stderr, "twprofile: cannot read %s: %s\n", file.c_str(), why.c_str());
            return 2;
        }
        timed = timed && fileTimed;
    }
    // Several captures: by send time (each file is in time order already).
    if (timed && files.size() > 1)
        std::stable_sort(messages.begin(), messages.end(),
                         [](const Message& a, const Message& b) { return a.micros < b.micros; });

    Profiler p;
    for (const Message& m : messages) {
        const auto e = tw::messaging::ReadEnvelopeView(m.envelope);
        p.Add(e->type, e->recordNumber, e->message, m.micros, 0, m.stream);
    }

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
                            static_cast<unsigned long long>(r.messages), Csv(tops).c_str());
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
    std::size_t next = 0;
    const std::string json =
        chrome.empty() ? std::string() : tw::viewer::ChromeTraceJson(p, [&](tw::viewer::TraceMessage& m) {
            while (next < messages.size()) {
                const Message& source = messages[next++];
                const auto e = tw::messaging::ReadEnvelopeView(source.envelope);
                m = {e->type,    e->recordNumber, e->objectName, e->objectValue,
                     e->message, source.micros,   source.stream};
                return true;
            }
            return false;
        });
    FILE* out = chrome.empty() ? nullptr : std::fopen(chrome.c_str(), "wb");
    const bool written = out && std::fwrite(json.data(), 1, json.size(), out) == json.size();
    if (out && std::fclose(out) != 0) out = nullptr;
    if (!chrome.empty() && (!out || !written)) {
        std::fprintf(stderr, "twprofile: cannot write %s: %s\n", chrome.c_str(), std::strerror(errno));
        return 2;
    }
    return 0;
}
