// Trace store figures: memory per stored line beyond its text, MessageManager::Add rate with
// watches and autos off, Clear of a full default page, and the shown-rows index.
#include "tw/core/message_manager.hpp"
#include "tw/core/message_types.hpp"
#include "tw/core/profiler.hpp"
#include "tw/core/reception.hpp"
#include "tw/core/shown_rows.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/envelope.hpp"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <chrono>
#include <malloc.h>
#include <string>
#include <vector>

using namespace tw::viewer;

namespace {

constexpr int kLines = 1'000'000;

// Keeps the last status texts, as the status bar would.
struct KeepingStatus : StatusPanels {
    QString count, listening;
    void SetMessageCount(const QString& text) override { count = text; }
    void SetListening(const QString& text, bool) override { listening = text; }
};

// A believable mix: formula entries and exits around messages, objects and check points.
std::vector<MessageRef> MakeMessages(int n, std::size_t* textBytes) {
    std::vector<MessageRef> out;
    out.reserve(std::size_t(n));
    std::size_t bytes = 0;
    for (int i = 0; i < n; ++i) {
        MessageRef m;
        switch (i % 8) {
            case 0: m = MessageSink::CreateEx(6, i, u"{@Total}"); break;
            case 7: m = MessageSink::CreateEx(7, 0, u""); break;
            case 3: {
                const QString v = QString::number(i * 7);
                m = MessageSink::CreateEx(4, i, QStringLiteral("Total = ") + v, u"Total", v);
                break;
            }
            case 5: m = MessageSink::CreateEx(14, 0, QString(79, u'-')); break;
            default: m = MessageSink::CreateEx(0, i, QStringLiteral("record %1 computed").arg(i)); break;
        }
        bytes += std::size_t(m->MessageLength() + m->ObjectName().size() + m->ObjectValue().size());
        out.push_back(std::move(m));
    }
    if (textBytes) *textBytes = bytes;
    return out;
}

// Bytes allocated from the heap, including blocks the allocator took with mmap.
std::size_t HeapInUse() {
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void BM_MemoryPerLine(benchmark::State& state) {
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        std::size_t textBytes = 0;
        PlainTracePages pages;
        {
            MessageManager store(pages);
            store.SetProcessMessages(true);
            auto messages = MakeMessages(kLines, &textBytes);
            for (auto& m : messages) store.Add(m);
        }
        const std::size_t after = HeapInUse();
        const double perLine = double(after - before - textBytes) / kLines;
        state.counters["bytes_per_line_beyond_text"] = perLine;
        state.counters["tree_structure_bytes_per_line"] = double(pages.GetDefault().StructureBytes()) / kLines;
        state.counters["text_bytes_per_line"] = double(textBytes) / kLines;
        state.counters["lines"] = pages.GetDefault().Count();
    }
}
BENCHMARK(BM_MemoryPerLine)->Iterations(1)->Unit(benchmark::kMillisecond);

// MessageManager::Add into the default page, watches and autos off; 1,000,000 per iteration.
void BM_StoreAdd(benchmark::State& state) {
    auto messages = MakeMessages(kLines, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        auto pages = std::make_unique<PlainTracePages>();
        KeepingStatus status;
        MessageManager store(*pages, &status);
        store.SetProcessMessages(true);
        state.ResumeTiming();
        for (const auto& m : messages) store.Add(m);
        benchmark::DoNotOptimize(status.count);
        state.PauseTiming();
        pages.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_StoreAdd)->Unit(benchmark::kMillisecond)->Iterations(3);

// Clear Current Viewer on a default page of 1,000,000 lines (messages held only by the page).
void BM_ClearMillion(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        PlainTracePages pages;
        KeepingStatus status;
        MessageManager store(pages, &status);
        store.SetProcessMessages(true);
        {
            auto messages = MakeMessages(kLines, nullptr);
            for (auto& m : messages) store.Add(m);
        }
        state.ResumeTiming();
        store.Clear();
    }
}
BENCHMARK(BM_ClearMillion)->Unit(benchmark::kMillisecond)->Iterations(3);

// Profiling a loaded page of 1,000,000 messages (the believable mix with receipt times): the
// profile made from scratch, its table and its per-record rows.
void BM_ProfileMillionMessages(benchmark::State& state) {
    PlainTracePages pages;
    {
        MessageManager store(pages);
        store.SetProcessMessages(true);
        auto messages = MakeMessages(kLines, nullptr);
        for (auto& m : messages) store.Add(m);
    }
    const TraceTree& tree = pages.GetDefault();
    std::string name;
    std::size_t rows = 0;
    for (auto _ : state) {
        Profiler p;
        for (int line = 1; line <= tree.Count(); ++line) {
            const MessageSink& m = tree.Message(line);
            name.clear();
            if (EntersLevel(m.MessageType())) m.AppendMessageBytes(name);
            p.Add(m.MessageType(), m.RecordNumber(), name, tree.ReceivedAt(line), line);
        }
        rows = p.Rows().size() + p.ByRecord().size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_ProfileMillionMessages)->Unit(benchmark::kMillisecond)->Iterations(3);

// One envelope from bytes to a stored line: read, convert, MessageSink, Add.
void BM_ReceiveEnvelope(benchmark::State& state) {
    PlainTracePages pages;
    MessageManager store(pages);
    store.SetProcessMessages(true);
    EnvelopeTargets targets{{}, [&](const MessageRef& m) { store.Add(m); }, {}};
    const std::string env = tw::messaging::BuildEnvelope(0, "record 12345 computed: total 4711", 12345, "", "");
    for (auto _ : state) {
        ReceiveEnvelope(env, targets);
        if (pages.GetDefault().Count() >= kLines) {
            state.PauseTiming();
            pages.GetDefault().Clear();
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceiveEnvelope);

// A formula entry with 1,000,000 lines beneath it (10,000 nested formulas of 99 lines, every
// tenth collapsed), collapsed and expanded again: the shown-rows index's cost, which a view
// pays on top of painting the screen. Then 50 rows looked up anywhere, as painting a screen does.
void BM_ShownRowsCollapseExpandMillion(benchmark::State& state) {
    TraceTree tree;
    tree.Reserve(kLines + 1);
    const int top = tree.Append(0, MessageSink::CreateEx(6, 0, u"@Outer"), 0);
    tree.SetExpanded(top, true);
    for (int f = 0; tree.Count() < kLines; ++f) {
        const int entry = tree.Append(top, MessageSink::CreateEx(6, f, u"@Inner"), 0);
        tree.SetExpanded(entry, f % 10 != 0);
        for (int i = 0; i < 98; ++i) tree.Append(entry, MessageSink::CreateEx(0, f, u"line"), 0);
    }
    ShownRows rows(tree);
    for (auto _ : state) {
        tree.SetExpanded(top, false);
        rows.ExpandedChanged(top);
        tree.SetExpanded(top, true);
        rows.ExpandedChanged(top);
        benchmark::DoNotOptimize(rows.Count());
    }
    state.counters["shown"] = rows.Count();
}
BENCHMARK(BM_ShownRowsCollapseExpandMillion)->Unit(benchmark::kMillisecond);

void BM_ShownRowsScreenOfRows(benchmark::State& state) {
    TraceTree tree;
    for (int f = 0; tree.Count() < kLines; ++f) {
        const int entry = tree.Append(0, MessageSink::CreateEx(6, f, u"@F"), 0);
        tree.SetExpanded(entry, f % 3 != 0);
        for (int i = 0; i < 20; ++i) tree.Append(entry, MessageSink::CreateEx(0, f, u"line"), 0);
    }
    ShownRows rows(tree);
    std::uint32_t seed = 1;
    for (auto _ : state) {
        seed = seed * 1664525u + 1013904223u;
        const int first = int(seed % std::uint32_t(rows.Count() - 50));
        for (int r = first; r < first + 50; ++r) benchmark::DoNotOptimize(rows.LineAt(r));
    }
}
BENCHMARK(BM_ShownRowsScreenOfRows)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
