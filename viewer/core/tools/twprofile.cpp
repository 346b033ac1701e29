// twprofile: the profile of traced runs from capture files (or logs, which have no times):
// which formula took how long, per formula or per record, as a table, CSV or Chrome trace.
#include "trace_files.hpp"
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

using tw::tools::FileReader;
using tw::tools::Merged;
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
    if (!merged.Open("twprofile", files, true)) return 2;
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
        if (!again.Open("twprofile", files, false)) return 2;
        json = tw::viewer::ChromeTraceJson(p, [&](tw::viewer::TraceMessage& m) {
            FileReader* r = again.Next();
            if (!r) return false;
            m = {r->fields.type,
                 r->fields.recordNumber,
                 r->fields.objectName,
                 r->fields.objectValue,
                 r->fields.message,
                 r->micros,
                 r->stream};
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
