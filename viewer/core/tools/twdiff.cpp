// twdiff: what changed between two traced runs (logs or capture files), message by message,
// times left out, aligned by formula and subreport calls; shown like a unified diff.
#include "trace_files.hpp"
#include "tw/core/trace_diff.hpp"
#include "tw/messaging/codepage.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using tw::viewer::DiffMessage;

void Usage(FILE* to) {
    std::fputs(
        "usage: twdiff [options] A B\n"
        "Compares two traced runs (logs or capture files, or one of each) message by message,\n"
        "leaving times out. Formula and subreport calls are matched first, so a line added or\n"
        "removed inside one shifts nothing after it. Prints the differences like a unified diff:\n"
        "each place with its formula path and record number, lines only in A with -, only in B\n"
        "with +, a changed message as a -/+ pair, unchanged lines around with a blank.\n"
        "options:\n"
        "  --ignore-records  leave record numbers out of the comparison too\n"
        "  --context N       unchanged lines around each difference (default 2)\n"
        "  --summary         print only how many lines differ\n"
        "exit status: 0 the runs agree, 1 they differ, 2 a file that cannot be read or is no trace\n",
        to);
}

const char* TypeName(int type) {
    static const char* names[] = {"SendMsg",        "SendNote",     "SendError",    "SendWarning",
                                  "SendObject",     "SendScratch",  "EnterFormula", "ExitFormula",
                                  "EnterSubReport", "ExitSubReport"};
    if (type >= 0 && type <= 9) return names[type];
    return type == 14 ? "AddCheckPoint" : "Message";
}

bool ReadRun(const std::string& path, std::vector<DiffMessage>& out) {
    tw::tools::Merged reader;
    if (!reader.Open("twdiff", {path}, true)) return false;
    while (tw::tools::FileReader* r = reader.Next()) {
        out.push_back(tw::tools::ToDiffMessage(r->fields));
    }
    return reader.AllHadLines();
}

void PrintLine(char kind, const DiffMessage& m) {
    std::printf("%c%07d %-14s %s\n", kind, m.record, TypeName(m.type),
                tw::messaging::CodePageToUtf8(m.text).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    tw::viewer::DiffOptions options;
    bool summary = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ignore-records") {
            options.ignoreRecords = true;
        } else if (a == "--summary") {
            summary = true;
        } else if (a == "--context" && i + 1 < argc) {
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (*end != '\0' || n < 0 || n > 1000000) {
                std::fprintf(stderr, "twdiff: --context takes a number of lines\n");
                return 2;
            }
            options.context = int(n);
        } else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            std::fprintf(stderr, "twdiff: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.size() != 2) {
        Usage(stderr);
        return 2;
    }
    std::vector<DiffMessage> a, b;
    if (!ReadRun(files[0], a) || !ReadRun(files[1], b)) return 2;
    const tw::viewer::DiffResult r = tw::viewer::CompareRuns(a, b, options);
    if (r.fellBack)
        std::fprintf(stderr,
                     "twdiff: the runs have little in common in places: those were lined up line by line\n");
    if (summary) {
        if (r.Same())
            std::printf("twdiff: the runs agree (%zu and %zu messages)\n", a.size(), b.size());
        else
            std::printf("twdiff: %zu lines only in %s, %zu only in %s (%zu of them changed), in %zu places\n",
                        r.onlyA, files[0].c_str(), r.onlyB, files[1].c_str(), r.changed, r.hunks.size());
        return r.Same() ? 0 : 1;
    }
    if (r.Same()) return 0;
    std::printf("--- %s\n+++ %s\n", files[0].c_str(), files[1].c_str());
    for (const tw::viewer::DiffHunk& hunk : r.hunks) {
        std::printf("@@ %s record %d @@\n",
                    hunk.path.empty() ? "(top)" : tw::messaging::CodePageToUtf8(hunk.path).c_str(),
                    hunk.record);
        for (const tw::viewer::DiffLine& line : hunk.lines)
            PrintLine(line.kind, line.kind == '+' ? b[std::size_t(line.b)] : a[std::size_t(line.a)]);
    }
    return 1;
}
