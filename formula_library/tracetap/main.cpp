// tracetap: runs formula-function calls as a report engine would, each one sending its
// envelope to the Tracewell viewer of this user and waiting until the viewer has taken it.
#include "call_parser.hpp"
#include "doctor.hpp"
#include "tw/formula_library/functions.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

long g_calls = 0;

void Usage(FILE* to) {
    std::fputs(
        "usage: tracetap [options] [CALL ...]\n"
        "Runs formula-function calls and sends each message to the Tracewell viewer.\n"
        "CALLs come from the arguments, else from the files of -f, else from standard input,\n"
        "one call per line, written as in a formula:\n"
        "  DebugSendMsgEx(\"hello\", 42)   DebugSendObject('Total', '100', 7)   DebugAddCheckPoint()\n"
        "Blank lines and // comments are skipped; a malformed call stops the run.\n"
        "options:\n"
        "  -f FILE     read calls from FILE ('-' for standard input); may be repeated\n"
        "  --check     only check the calls, send nothing\n"
        "  --summary   print how many calls were delivered, found no viewer, were lost, and how many\n"
        "              messages were cut to fit the envelope, to standard error at the end\n"
        "  --require-receiver  exit with status 3 when a message found no viewer\n"
        "  --capture FILE  also write every message to the capture FILE (as TRACETAP_CAPTURE does)\n"
        "  --doctor    check the installation and the settings in force; exit status 0 when a\n"
        "              viewer is reachable and everything configured works, else 1\n"
        "  --list      list the functions and their parameters\n"
        "exit status: 0 done, 1 usage or file error, 2 malformed call, 3 no viewer (with --require-receiver)\n",
        to);
}

// Runs one line; false (after reporting) when the line is malformed.
bool RunLine(const std::string& source, long lineNumber, std::string_view line, bool check) {
    tw::formula::FormulaCall call;
    std::string error;
    switch (tw::formula::ParseCallLine(line, call, error)) {
        case tw::formula::LineKind::Nothing: return true;
        case tw::formula::LineKind::Malformed:
            std::fprintf(stderr, "tracetap: %s:%ld: %s\n", source.c_str(), lineNumber, error.c_str());
            return false;
        case tw::formula::LineKind::Call: break;
    }
    ++g_calls;
    if (!check) tw::formula::RunCall(call);
    return true;
}

bool RunStream(const std::string& source, std::istream& in, bool check) {
    std::string line;
    long number = 0;
    while (std::getline(in, line)) {
        if (!RunLine(source, ++number, line, check)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::vector<std::string> files;
    std::vector<std::string> calls;
    bool check = false;
    bool summary = false;
    bool requireReceiver = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-f" || a == "--file") {
            if (i + 1 >= argc) {
                Usage(stderr);
                return 1;
            }
            files.emplace_back(argv[++i]);
        } else if (a == "--check") {
            check = true;
        } else if (a == "--summary") {
            summary = true;
        } else if (a == "--require-receiver") {
            requireReceiver = true;
        } else if (a == "--capture") {
            if (i + 1 >= argc) {
                Usage(stderr);
                return 1;
            }
            // Read with the other settings at the first call.
            ::setenv("TRACETAP_CAPTURE", argv[++i], 1);
        } else if (a == "--doctor") {
            return tw::formula::RunDoctor(stdout);
        } else if (a == "--list") {
            for (const auto& f : tw::formula::FormulaFunctions()) std::printf("%s\n", tw::formula::Signature(f).c_str());
            return 0;
        } else if (a == "-h" || a == "--help") {
            Usage(stdout);
            return 0;
        } else if (a.size() > 1 && a[0] == '-' && a.find('(') == std::string::npos) {
            std::fprintf(stderr, "tracetap: unknown option %s\n", a.c_str());
            Usage(stderr);
            return 1;
        } else {
            calls.push_back(a);
        }
    }
    bool ok = true;
    if (!calls.empty()) {
        for (std::size_t i = 0; ok && i < calls.size(); ++i) {
            ok = RunLine("argument", static_cast<long>(i + 1), calls[i], check);
        }
    }
    for (std::size_t i = 0; ok && i < files.size(); ++i) {
        if (files[i] == "-") {
            ok = RunStream("<stdin>", std::cin, check);
            continue;
        }
        std::ifstream in(files[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "tracetap: cannot open %s: %s\n", files[i].c_str(), std::strerror(errno));
            return 1;
        }
        ok = RunStream(files[i], in, check);
    }
    if (calls.empty() && files.empty()) ok = RunStream("<stdin>", std::cin, check);

    const tw::formula::CallCounts counts = tw::formula::Counts();
    if (summary) {
        auto n = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
        std::fprintf(stderr, "tracetap: %ld calls, %llu delivered, %llu without viewer, %llu lost, %llu cut to fit",
                     g_calls, n(counts.delivered), n(counts.noViewer), n(counts.lost), n(tw::formula::CutMessageCount()));
        if (counts.timedOut) std::fprintf(stderr, ", %llu timed out", n(counts.timedOut));
        if (counts.captured || counts.captureSkipped)
            std::fprintf(stderr, ", %llu captured, %llu not captured", n(counts.captured), n(counts.captureSkipped));
        std::fputc('\n', stderr);
    }
    tw::formula::FlushCounts();
    if (!ok) return 2;
    if (requireReceiver && !check && (counts.noViewer > 0 || counts.lost > 0 || counts.timedOut > 0)) return 3;
    return 0;
}
