// twprofile on a capture file of 1,000,000 lines (the believable mix of formula calls and
// messages), beside `wc -l` on the same file in the same run: the command must take at most
// three times as long as counting the file's lines. Then twdiff on two such runs.
#include "tw/messaging/capture_line.hpp"
#include "tw/messaging/envelope.hpp"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

// The run; with `changed`, every 10,000th object has another value (100 differences).
std::string MakeCapture(const std::string& p, bool changed) {
    {
        std::string out;
        FILE* f = std::fopen(p.c_str(), "wb");
        std::int64_t t = 1'796'738'587'000'000LL;
        for (int i = 0; i < 1'000'000; ++i) {
            out.clear();
            const int k = i % 8;
            const int type = k == 0 ? 6 : k == 7 ? 7 : k == 3 ? 4 : 0;
            const bool other = changed && type == 4 && i % 10'000 == 3;
            tw::messaging::AppendCaptureLine(
                out, t += 7 + i % 13, 4711, 4712,
                tw::messaging::BuildEnvelope(type, type == 6 ? "{@LineTotal}" : "record computed", i / 8 + 1,
                                             type == 4 ? "Total" : "",
                                             type == 4 ? (other ? "1,234.51" : "1,234.50") : ""));
            std::fwrite(out.data(), 1, out.size(), f);
        }
        std::fclose(f);
    }
    return p;
}

const std::string& CaptureFile() {
    static const std::string path = MakeCapture("/tmp/tw-twprofile-bench.txt", false);
    return path;
}

const std::string& ChangedFile() {
    static const std::string path = MakeCapture("/tmp/tw-twdiff-bench.txt", true);
    return path;
}

std::string Bin() { return std::filesystem::read_symlink("/proc/self/exe").parent_path().string(); }

void Time(benchmark::State& state, const std::string& command, int expected = 0) {
    CaptureFile();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) state.SkipWithError("the command failed");
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    state.counters["peak_mb_any_run_so_far"] = double(children.ru_maxrss) / 1024;
}

void BM_WcL(benchmark::State& state) { Time(state, "wc -l " + CaptureFile() + " > /dev/null"); }
void BM_Twprofile(benchmark::State& state) {
    Time(state, Bin() + "/twprofile " + CaptureFile() + " > /dev/null");
}
// Two runs of 1,000,000 lines: the same, and with 100 differences.
void BM_TwdiffSame(benchmark::State& state) {
    Time(state, Bin() + "/twdiff " + CaptureFile() + " " + CaptureFile() + " > /dev/null");
}
void BM_TwdiffHundred(benchmark::State& state) {
    ChangedFile();
    Time(state, Bin() + "/twdiff " + CaptureFile() + " " + ChangedFile() + " > /dev/null", 1);
}

}  // namespace

// Alternating, so both see the same machine.
BENCHMARK(BM_WcL)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Twprofile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WcL)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Twprofile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TwdiffSame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TwdiffHundred)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
