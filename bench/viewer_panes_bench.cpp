// Log files and inspection panes: loading and saving 1,000,000 lines (MB/s, heap per loaded
// line), and the store's rate for object messages with 20 watches and the autos pane on.
#include "tw/core/log.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/panes/autos_manager.hpp"
#include "tw/panes/watch_manager.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <string>
#include <vector>

using namespace tw::viewer;

namespace {

constexpr int kLines = 1'000'000;

struct KeepingStatus : StatusPanels {
    QString count;
    void SetMessageCount(const QString& text) override { count = text; }
    void SetListening(const QString&, bool) override {}
};

std::size_t HeapInUse() {
    const auto info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

QTemporaryDir& Dir() {
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/tw-panes-bench-XXXXXX"));
    return dir;
}

// A trace like a report run: formula entries and exits, messages, objects, check points.
MessageRef MakeMessage(int i) {
    switch (i % 8) {
        case 0: return MessageSink::CreateEx(6, i, u"{@Total}");
        case 7: return MessageSink::CreateEx(7, 0, u"");
        case 3: {
            const QString v = QString::number(i * 7);
            return MessageSink::CreateEx(4, i, QStringLiteral("Total = ") + v, u"Total", v);
        }
        case 5: return MessageSink::CreateEx(14, 0, QString(79, u'-'));
        default: return MessageSink::CreateEx(0, i, QStringLiteral("record %1 computed").arg(i));
    }
}

// The log file of kLines lines, written once.
QString LogFile() {
    static QString path;
    if (!path.isEmpty()) return path;
    path = Dir().filePath(QStringLiteral("big.log"));
    PlainTracePages pages;
    MessageManager store(pages);
    store.SetProcessMessages(true);
    for (int i = 0; i < kLines; ++i) store.Add(MakeMessage(i));
    Log(store).Save(path);
    return path;
}

void BM_LogSave(benchmark::State& state) {
    PlainTracePages pages;
    MessageManager store(pages);
    store.SetProcessMessages(true);
    for (int i = 0; i < kLines; ++i) store.Add(MakeMessage(i));
    const QString path = Dir().filePath(QStringLiteral("saved.log"));
    qint64 bytes = 0;
    for (auto _ : state) {
        Log(store).Save(path);
        bytes += QFile(path).size();
    }
    state.SetBytesProcessed(bytes);
    state.counters["lines"] = kLines;
    QFile::remove(path);
}
BENCHMARK(BM_LogSave)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

void BM_LogLoad(benchmark::State& state) {
    const QString path = LogFile();
    const qint64 size = QFile(path).size();
    qint64 bytes = 0;
    for (auto _ : state) {
        PlainTracePages pages;
        KeepingStatus status;
        MessageManager store(pages, &status);
        store.SetProcessMessages(true);
        malloc_trim(0);
        const std::size_t before = HeapInUse();
        const Log::LoadResult r = Log(store).Load(path);
        const std::size_t after = HeapInUse();
        state.PauseTiming();
        std::size_t textBytes = 0;
        TraceTree& tree = pages.GetDefault();
        for (int i = 1; i <= tree.Count(); ++i) {
            const MessageSink& m = tree.Message(i);
            textBytes += std::size_t(m.MessageLength() + m.ObjectName().size() + m.ObjectValue().size());
        }
        state.counters["lines"] = double(r.lines);
        state.counters["heap_bytes_per_line_beyond_text"] = double(after - before - textBytes) / double(r.lines);
        state.counters["file_bytes_per_line"] = double(size) / double(r.lines);
        state.ResumeTiming();
        bytes += size;
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_LogLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// 20 watches on object names that occur, the autos pane on, models attached (no views):
// object messages from 20 objects, a third of them inside formulas.
void BM_ObjectsWithWatchesAndAutos(benchmark::State& state) {
    const int watchCount = int(state.range(0));
    std::vector<MessageRef> messages;
    messages.reserve(kLines);
    const QString ops[] = {QStringLiteral("="), QStringLiteral(">"), QStringLiteral("Like"), QStringLiteral("<>")};
    for (int i = 0; i < kLines; ++i) {
        if (i % 30 == 0) {
            messages.push_back(MessageSink::CreateEx(6, i, QStringLiteral("{@Formula%1}").arg(i / 30 % 7)));
            continue;
        }
        if (i % 30 == 10) {
            messages.push_back(MessageSink::CreateEx(7, 0, u""));
            continue;
        }
        const QString name = QStringLiteral("Object%1").arg(i % 20);
        const QString value = QString::number(i % 997);
        messages.push_back(MessageSink::CreateEx(4, i, name + QStringLiteral(" = ") + value, name, value));
    }
    qint64 objects = 0;
    qint64 hits = 0;
    for (auto _ : state) {
        state.PauseTiming();
        PlainTracePages pages;
        KeepingStatus status;
        auto store = std::make_unique<MessageManager>(pages, &status);
        auto watches = std::make_unique<WatchManager>(pages);
        auto autos = std::make_unique<AutosManager>(pages);
        for (int w = 0; w < watchCount; ++w)
            watches->Add(Watch::Make(QStringLiteral("object%1").arg(w % 20), ops[w % 4], QStringLiteral("5")));
        store->SetProcessMessages(true);
        store->SetWatchesEnabled(true);
        store->SetAutosEnabled(true);
        store->SetWatchHook([&](const MessageRef& m) { watches->Evaluate(*m); });
        store->SetAutosHook([&](const MessageRef& m) { autos->Update(m); });
        state.ResumeTiming();
        for (const MessageRef& m : messages) store->Add(m);
        state.PauseTiming();
        hits = watches->ResultCount();
        objects = 0;
        for (const MessageRef& m : messages) objects += m->MessageType() == 4;
        autos.reset();
        watches.reset();
        store.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kLines);
    state.counters["object_messages"] = double(objects);
    state.counters["watch_hits"] = double(hits);
}
BENCHMARK(BM_ObjectsWithWatchesAndAutos)->Arg(20)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);  // the pane models' timers need one
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
