// The cost of breakpoints a received message, on the receiving path as the viewer runs it:
// with none set the viewer only asks Armed(); with breakpoints it reads the envelope's fields
// once more and tests each. Ten breakpoints of every kind, none of which hits the mix (a hit
// pauses the report, which is no rate to measure).
#include "tw/core/breakpoints.hpp"
#include "tw/messaging/envelope.hpp"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace tw::viewer;

namespace {

// A believable mix of envelopes: entries and exits around messages and object values.
std::vector<std::string> Envelopes() {
    std::vector<std::string> out;
    for (int i = 0; i < 1024; ++i) {
        switch (i % 8) {
            case 0: out.push_back(tw::messaging::BuildEnvelope(6, "{@RunningTotal}", i, "", "")); break;
            case 7: out.push_back(tw::messaging::BuildEnvelope(7, "", 0, "", "")); break;
            case 3: out.push_back(tw::messaging::BuildEnvelope(4, "", i, "Total", std::to_string(i * 7))); break;
            default: out.push_back(tw::messaging::BuildEnvelope(0, "record " + std::to_string(i) + " computed", i, "", ""));
        }
    }
    return out;
}

Breakpoints Ten() {
    Breakpoints set;
    const char* ops[] = {"<", "=", "Like", ">="};
    for (int i = 0; i < 4; ++i) set.Add(*Breakpoints::Make(BreakpointKind::Watch, i % 2 ? "Total" : "Balance", ops[i], "-"));
    set.Add(*Breakpoints::Make(BreakpointKind::Entry, "{@Grand*}"));
    set.Add(*Breakpoints::Make(BreakpointKind::Entry, "{@Sub[0-9]*}"));
    set.Add(*Breakpoints::Make(BreakpointKind::Entry, "Orders?"));
    set.Add(*Breakpoints::Make(BreakpointKind::Error));
    set.Add(*Breakpoints::Make(BreakpointKind::Warning));
    set.Add(*Breakpoints::Make(BreakpointKind::Record, "20000000-20000010"));
    return set;
}

// What the viewer does per message for breakpoints, given the set.
void Test(Breakpoints& set, const std::string& envelope) {
    if (!set.Armed()) return;
    const auto fields = tw::messaging::ReadEnvelopeView(envelope);
    if (fields) benchmark::DoNotOptimize(set.Check(*fields));
}

void BM_BreakpointsNoneSet(benchmark::State& state) {
    const auto envelopes = Envelopes();
    Breakpoints set;
    std::size_t i = 0;
    for (auto _ : state) {
        Test(set, envelopes[i++ & 1023]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BreakpointsNoneSet);

void BM_BreakpointsTenSet(benchmark::State& state) {
    const auto envelopes = Envelopes();
    Breakpoints set = Ten();
    std::size_t i = 0;
    for (auto _ : state) {
        Test(set, envelopes[i++ & 1023]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BreakpointsTenSet);

// For scale: reading the envelope's fields, which every received message costs anyway.
void BM_ReadEnvelopeFields(benchmark::State& state) {
    const auto envelopes = Envelopes();
    std::size_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(tw::messaging::ReadEnvelopeView(envelopes[i++ & 1023]));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadEnvelopeFields);

}  // namespace

BENCHMARK_MAIN();
