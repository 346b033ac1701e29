// The quick filter on a default page of 1,000,000 lines (the same believable mix as the
// display benchmarks: formula entries and exits, objects, notes, check points, and every
// 10th line an error mentioning a disk): applying a pattern (plain text and regular
// expressions, case folded or not) builds the filtered tree with the ancestors of each match;
// and the store's rate with a filter active, matching the arrivals as the window does.
#include "believable_mix.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/quick_filter.hpp"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <memory>

using namespace tw::viewer;

namespace {

constexpr int kLines = 1'000'000;

PlainTracePages& Filled(int lines = kLines) {
    static std::unique_ptr<PlainTracePages> pages;
    if (!pages || pages->GetDefault().Count() != lines) {
        pages.reset();
        pages = std::make_unique<PlainTracePages>();
        MessageManager store(*pages);
        store.SetProcessMessages(true);
        for (int i = 1; i <= lines; ++i) store.Add(BelievableMixLine(i));
    }
    return *pages;
}

struct Case {
    const char* text;
    bool regex;
    bool matchCase;
};
// 0: plain "disk" (10%); 1: the same as a regular expression; 2: a regular expression with
// classes and alternatives; 3: a plain text that matches nothing; 4: a pattern every line
// matches (the whole tree is copied).
const Case kCases[] = {
    {"disk", false, false},
    {"disk", true, false},
    {"quota reached at record \\d+0$|Total = \\d{3}5", true, true},
    {"no such text", false, false},
    {".", true, false},
};

void BM_QuickFilterApply(benchmark::State& state) {
    PlainTracePages& pages = Filled(state.range(1) ? 10 * kLines : kLines);
    const Case& c = kCases[state.range(0)];
    QuickFilter filter;
    int kept = 0;
    for (auto _ : state) {
        filter.Apply(pages.GetDefault(), {QString::fromLatin1(c.text), c.regex, c.matchCase});
        kept = filter.Filtered()->Count();
        state.PauseTiming();
        filter.Reset();  // dropping the filtered tree is not part of applying
        state.ResumeTiming();
    }
    state.counters["kept"] = kept;
    state.SetLabel(c.text);
}
BENCHMARK(BM_QuickFilterApply)->ArgsProduct({{0, 1, 2, 3, 4}, {0}})->Unit(benchmark::kMillisecond)->Iterations(3);
// The same on 10,000,000 lines.
BENCHMARK(BM_QuickFilterApply)->ArgsProduct({{0, 1, 2, 3, 4}, {1}})->Unit(benchmark::kMillisecond)->Iterations(1);

// MessageManager::Add with a quick filter active on the default page, the arrivals matched
// every 4,096 messages (the window matches them on a 40 ms timer), against no filter.
void BM_StoreRateWithQuickFilter(benchmark::State& state) {
    const bool filtered = state.range(0) != 0;
    std::vector<MessageRef> messages;
    messages.reserve(kLines);
    for (int i = 1; i <= kLines; ++i) messages.push_back(BelievableMixLine(i));
    for (auto _ : state) {
        state.PauseTiming();
        auto pages = std::make_unique<PlainTracePages>();
        MessageManager store(*pages);
        store.SetProcessMessages(true);
        QuickFilter filter;
        if (filtered) filter.Apply(pages->GetDefault(), {QStringLiteral("disk|total = \\d+5$"), true, false});
        state.ResumeTiming();
        for (int i = 0; i < kLines; ++i) {
            store.Add(messages[std::size_t(i)]);
            if (filtered && (i & 4095) == 4095) filter.CatchUp();
        }
        if (filtered) filter.CatchUp();
        state.PauseTiming();
        filter.Reset();
        pages.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.SetLabel(filtered ? "quick filter active" : "no filter");
}
BENCHMARK(BM_StoreRateWithQuickFilter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
