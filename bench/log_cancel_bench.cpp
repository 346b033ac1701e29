// How soon a log load can be stopped: the longest time between two progress calls of
// Log::Load (the main window looks at its Cancel button at these calls), and the time from
// a stop request to Load's return. For a file without line ends (a sparse file of zero bytes)
// and for a real log file of short lines. Target: Cancel ends any load within 200 ms.
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/envelope.hpp"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

using namespace tw::viewer;
using Clock = std::chrono::steady_clock;

namespace {

struct TimingProgress : LogProgress {
    Clock::time_point last, stopAt, stopAsked;
    double maxGapMs = 0;
    bool asked = false;
    void Begin(qint64) override { last = Clock::now(); }
    bool Step(qint64, qint64) override {
        const auto now = Clock::now();
        maxGapMs = std::max(maxGapMs, std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        if (now >= stopAt) {
            stopAsked = now;
            asked = true;
            return false;
        }
        return true;
    }
    void End() override {}
};

void Run(benchmark::State& state, const QString& path) {
    double worstGap = 0, worstStop = 0;
    for (auto _ : state) {
        PlainTracePages pages;
        MessageManager store(pages);
        store.SetProcessMessages(true);
        TimingProgress progress;
        progress.stopAt = Clock::now() + std::chrono::milliseconds(400);
        const auto result = Log(store).Load(path, &progress);
        const auto end = Clock::now();
        if (!progress.asked || !result.stopped) state.SkipWithError("the load ended before the stop request");
        worstGap = std::max(worstGap, progress.maxGapMs);
        worstStop = std::max(worstStop, std::chrono::duration<double, std::milli>(end - progress.stopAsked).count());
    }
    state.counters["max_step_gap_ms"] = worstGap;
    state.counters["stop_to_return_ms"] = worstStop;
}

void BM_StopLoadWithoutLineEnds(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sparse.log"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(100) << 30)) {
        state.SkipWithError("no sparse file");
        return;
    }
    f.close();
    Run(state, path);
}
BENCHMARK(BM_StopLoadWithoutLineEnds)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StopLoadOfALogFile(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.log"));
    {
        std::string lines;
        for (int i = 0; i < 400'000; ++i) {
            lines += tw::messaging::BuildEnvelope(0, "record " + std::to_string(i), i, "", "");
            lines += "\r\n";
        }
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(lines.data(), qint64(lines.size())) != qint64(lines.size())) {
            state.SkipWithError("cannot write the log file");
            return;
        }
    }
    Run(state, path);
}
BENCHMARK(BM_StopLoadOfALogFile)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
