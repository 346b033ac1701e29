// Navigation, search and filter figures on a default page of 1,000,000 lines: moving to the
// far end (Next, Last, Goto, Browse), a Find that fails over every line, a filter copying 10%
// of the lines into a new page, and painting 10% with a highlight filter while the page is
// shown. Each runs headless (PlainTracePages) and with the real tab set and its views
// (offscreen), since selecting a line also scrolls the view to it. Then the trace view on 1 and
// 10 million lines: painting a screen anywhere, collapsing everything, the thumb, Find.
#include "believable_mix.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/filter.hpp"
#include "tw/display/find.hpp"
#include "tw/display/navigator.hpp"
#include "tw/display/timeline_view.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QTabWidget>
#include <benchmark/benchmark.h>

#include <memory>

using namespace tw::viewer;

namespace {

constexpr int kLines = 1'000'000;

// Fills the default page with the believable mix.
void Fill(TracePages& pages) {
    MessageManager store(pages);
    store.SetProcessMessages(true);
    for (int i = 1; i < kLines; ++i) store.Add(BelievableMixLine(i));
    // The far end: the one warning, the one record number 9999999.
    store.Add(MessageSink::CreateEx(3, 9'999'999, u"last line"));
}

// The pages under test: plain trees, or the real tab set shown offscreen.
struct Fixture {
    explicit Fixture(bool shown) {
        if (shown) {
            host = std::make_unique<QWidget>();
            host->resize(800, 600);
            viewer = std::make_unique<Viewer>(host.get());
            viewer->TabWidget()->resize(800, 600);
            Fill(*viewer);
            host->show();
            viewer->FlushPending();
            QApplication::processEvents();
        } else {
            plain = std::make_unique<PlainTracePages>();
            Fill(*plain);
        }
    }
    ~Fixture() {
        viewer.reset();
        host.reset();
    }
    TracePages& pages() { return viewer ? static_cast<TracePages&>(*viewer) : *plain; }
    // Lets the views catch up (scrolling, repaint) so the next measurement starts idle.
    void Settle() {
        if (viewer) QApplication::processEvents();
    }

    std::unique_ptr<PlainTracePages> plain;
    std::unique_ptr<QWidget> host;
    std::unique_ptr<Viewer> viewer;
};

Fixture& Get(bool shown) {
    static std::unique_ptr<Fixture> fixtures[2];
    auto& f = fixtures[shown ? 1 : 0];
    if (!f) f = std::make_unique<Fixture>(shown);
    return *f;
}

// Times one operation after a reset, including the event-loop turn that lets a shown view
// follow (scroll and paint). check returns false when the operation did not do its work.
template <typename Reset, typename Op, typename Check>
void Run(benchmark::State& state, Reset reset, Op op, Check check) {
    Fixture& f = Get(state.range(0) != 0);
    for (auto _ : state) {
        state.PauseTiming();
        reset(f);
        f.Settle();
        state.ResumeTiming();
        op(f);
        f.Settle();
        state.PauseTiming();
        if (!check(f)) state.SkipWithError("the operation did not reach its line");
        state.ResumeTiming();
    }
    state.SetLabel(state.range(0) ? "tabViewer shown" : "plain pages");
}

TraceTree& Default(Fixture& f) { return f.pages().GetDefault(); }

void BM_MoveNextToLastLine(benchmark::State& state) {
    Run(state, [](Fixture& f) { Default(f).Select(kLines - 1); },
        [](Fixture& f) { Navigator(f.pages()).MoveNext(); },
        [](Fixture& f) { return Default(f).Selected() == kLines; });
}

void BM_MoveLastFromFirst(benchmark::State& state) {
    Run(state, [](Fixture& f) { Default(f).Select(1); },
        [](Fixture& f) { Navigator(f.pages()).MoveLast(); },
        [](Fixture& f) { return Default(f).Selected() == kLines; });
}

void BM_GotoRecordAtTheFarEnd(benchmark::State& state) {
    Run(state, [](Fixture& f) { Default(f).Select(1); },
        [](Fixture& f) { Navigator(f.pages()).GotoRecord(9'999'999, false); },
        [](Fixture& f) { return Default(f).Selected() == kLines; });
}

void BM_BrowseWarningAtTheFarEnd(benchmark::State& state) {
    Run(state, [](Fixture& f) { Default(f).Select(1); },
        [](Fixture& f) { Navigator(f.pages()).BrowseNext(3); },
        [](Fixture& f) { return Default(f).Selected() == kLines; });
}

void BM_FindFailsOverAllLines(benchmark::State& state) {
    // range(1): 0 case folded, 1 match case, 2 case folded with a text starting with a digit
    // (such a text may start in a line's record number or time stamp: whole lines are built).
    const bool matchCase = state.range(1) == 1;
    const QString text = state.range(1) == 2 ? QStringLiteral("0000042x") : QStringLiteral("no such text");
    Run(state, [](Fixture& f) { Default(f).Select(1); },
        [matchCase, text](Fixture& f) {
            SearchOptions options{text, true, matchCase, false};
            benchmark::DoNotOptimize(SearchTree(Default(f), options, false));
        },
        [](Fixture& f) { return Default(f).Selected() == 1; });
    state.SetLabel(std::string(state.range(0) ? "tabViewer shown" : "plain pages") +
                   (matchCase ? ", match case" : ", case folded") +
                   (state.range(1) == 2 ? ", text starting with a digit" : ""));
}

Filter MakeFilter(const QString& text, bool paint) {
    Filter filter;
    filter.Create(QStringLiteral("Disk"), text, false, {}, {}, {}, paint, 0x0080FF80u);
    return filter;
}

void BM_FilterCopiesTenPercent(benchmark::State& state) {
    static const Filter filter = MakeFilter(QStringLiteral("disk"), false);
    Run(state,
        [](Fixture& f) {
            // Close the page the last run opened.
            if (&f.pages().GetCurrent() != &Default(f)) {
                f.pages().GetCurrent().Clear();
                f.pages().RemoveCurrent();
            }
            f.pages().SetCurrentPage(0);
        },
        [](Fixture& f) { AddFilter(f.pages(), filter); },
        [](Fixture& f) { return f.pages().GetCurrent().Count() == kLines / 10 - 1; });
}

void BM_HighlightTenPercent(benchmark::State& state) {
    static const Filter paint = MakeFilter(QStringLiteral("disk"), true);
    Run(state,
        [](Fixture& f) {
            f.pages().SetCurrentPage(0);
            for (int i = 10; i < kLines; i += 10) Default(f).SetBackColour(i, kDefaultColour);
        },
        [](Fixture& f) { AddFilter(f.pages(), paint); },
        [](Fixture& f) { return Default(f).BackColour(10) == 0x0080FF80u; });
}

// The whole page once painted: the view still answers at once (a repaint after scrolling).
void BM_ScrollPaintedPage(benchmark::State& state) {
    static const Filter paint = MakeFilter(QStringLiteral("disk"), true);
    Fixture& f = Get(true);
    f.pages().SetCurrentPage(0);
    AddFilter(f.pages(), paint);
    f.Settle();
    int line = 1;
    for (auto _ : state) {
        line = line == 1 ? kLines / 2 : 1;
        Default(f).Select(line);
        f.viewer->View(0)->viewport()->repaint();
        f.Settle();
    }
    state.SetLabel("tabViewer shown, 10% painted: select, scroll and repaint");
}

// A stream's publication into a shown page of 10,000 or 1,000,000 lines: 100 appended lines
// handed to the view, which follows them (scroll and paint). The view takes appended rows in
// place, so the time must not grow with the page.
void BM_PublishHundredLines(benchmark::State& state) {
    const int lines = int(state.range(0));
    QWidget host;
    host.resize(800, 600);
    Viewer viewer(&host);
    viewer.TabWidget()->resize(800, 600);
    MessageManager store(viewer);
    store.SetProcessMessages(true);
    int i = 1;
    for (; i <= lines; ++i) store.Add(BelievableMixLine(i));
    host.show();
    viewer.FlushPending();
    QApplication::processEvents();
    for (auto _ : state) {
        state.PauseTiming();
        for (const int end = i + 100; i < end; ++i) store.Add(BelievableMixLine(i));
        state.ResumeTiming();
        viewer.FlushPending();
        viewer.View(0)->ScrollToBottom();
        QApplication::processEvents();
    }
    state.SetLabel("tabViewer shown: publish, follow, paint");
}

// ---- the trace view on big traces ----

// A page of n lines of the believable mix under one formula entry (line 1), with one trace view
// shown on it. Built once per size.
struct BigTrace {
    explicit BigTrace(int n) {
        tree.Reserve(std::size_t(n));
        tree.Append(0, MessageSink::CreateEx(6, 0, u"{@Report}"), 0);
        tree.SetExpanded(1, true);
        int open = 0;  // an inner formula entry taking the lines after it, 0: none
        for (int i = 2; i <= n; ++i) {
            const MessageRef m = BelievableMixLine(i);
            const int line = tree.Append(open ? open : 1, m, 0);
            if (m->MessageType() == 6 && !open) {
                open = line;
                tree.SetExpanded(line, true);
            } else if (m->MessageType() == 7) {
                open = 0;
            }
        }
        view = std::make_unique<TraceView>(tree);
        view->resize(1000, 800);
        view->show();
        view->Refresh();
        QApplication::processEvents();
    }
    TraceTree tree;
    std::unique_ptr<TraceView> view;
};

BigTrace& Big(int n) {
    static std::unique_ptr<BigTrace> traces[2];
    auto& t = traces[n > kLines ? 1 : 0];
    if (!t || t->tree.Count() != n) {
        t.reset();
        t = std::make_unique<BigTrace>(n);
    }
    return *t;
}

// A screen painted anywhere: scroll to a far place and paint every row in sight.
void BM_ViewPaintScreen(benchmark::State& state) {
    BigTrace& t = Big(int(state.range(0)));
    QScrollBar* bar = t.view->verticalScrollBar();
    int k = 0;
    for (auto _ : state) {
        bar->setValue(int(std::int64_t(bar->maximum()) * ((k++ * 7919) % 1000) / 1000));
        t.view->viewport()->repaint();
    }
    state.counters["rows_in_sight"] = t.view->RowsInSight();
    state.SetLabel("scroll anywhere, paint a screen");
}

// Collapsing the entry that holds every line, then expanding it again, each painted.
void BM_ViewCollapseExpandAll(benchmark::State& state) {
    BigTrace& t = Big(int(state.range(0)));
    for (auto _ : state) {
        t.view->SetExpanded(1, false);
        t.view->viewport()->repaint();
        t.view->SetExpanded(1, true);
        t.view->viewport()->repaint();
    }
    state.counters["lines_beneath"] = t.tree.Count() - 1;
    state.SetLabel("collapse and expand the entry holding every line, both painted");
}

// The thumb dragged from top to bottom in 200 steps, each step a frame: the slowest frame.
void BM_ViewThumbTopToBottom(benchmark::State& state) {
    BigTrace& t = Big(int(state.range(0)));
    QScrollBar* bar = t.view->verticalScrollBar();
    double slowest = 0;
    for (auto _ : state) {
        for (int step = 0; step <= 200; ++step) {
            QElapsedTimer frame;
            frame.start();
            bar->setValue(int(std::int64_t(bar->maximum()) * step / 200));
            t.view->viewport()->repaint();
            slowest = std::max(slowest, double(frame.nsecsElapsed()) / 1e6);
        }
    }
    state.counters["slowest_frame_ms"] = slowest;
    state.SetLabel("201 frames");
}

// Find (failing, so every line is read) over the big page.
void BM_ViewFindFails(benchmark::State& state) {
    BigTrace& t = Big(int(state.range(0)));
    for (auto _ : state) {
        SearchOptions options{QStringLiteral("no such text"), true, false, false};
        benchmark::DoNotOptimize(SearchTree(t.tree, options, false));
    }
    state.SetLabel("case folded");
}

// The timeline of 1,000,000 calls (nested three deep) painted whole and zoomed in: a frame.
void BM_TimelineFrame(benchmark::State& state) {
    static Profiler profiler = [] {
        Profiler p;
        std::int64_t t = 0;
        for (int i = 0; i < 250'000; ++i) {
            p.Add(6, i, "{@Outer}", t += 3);
            p.Add(6, i, "{@Middle}", t += 3);
            p.Add(6, i, "{@Inner}", t += 3);
            p.Add(4, i, "", t += 2);
            p.Add(7, 0, "", t += 5);
            p.Add(6, i, "{@Tax}", t += 1);
            p.Add(7, 0, "", t += 4);
            p.Add(7, 0, "", t += 2);
            p.Add(7, 0, "", t += 2);
        }
        return p;
    }();
    TimelineView view;
    view.resize(1200, 200);
    view.SetProfiler(&profiler);
    if (state.range(0)) view.ZoomAround(600, 1e-3);
    QImage frame(view.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) view.render(&frame);
    state.counters["calls"] = double(profiler.Calls().size());
    state.SetLabel(state.range(0) ? "zoomed in a thousand times" : "the whole run");
}

}  // namespace

BENCHMARK(BM_TimelineFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewPaintScreen)->Arg(kLines)->Arg(10 * kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewCollapseExpandAll)->Arg(kLines)->Arg(10 * kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewThumbTopToBottom)->Arg(kLines)->Arg(10 * kLines)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_ViewFindFails)->Arg(10 * kLines)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PublishHundredLines)->Arg(10'000)->Arg(kLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveNextToLastLine)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveLastFromFirst)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GotoRecordAtTheFarEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrowseWarningAtTheFarEnd)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFailsOverAllLines)->Args({0, 0})->Args({0, 1})->Args({0, 2})->Args({1, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterCopiesTenPercent)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HighlightTenPercent)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollPaintedPage)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
