// Export: a default page of 1,000,000 lines (formula entries and exits around messages and
// objects) written as text and as CSV to a file; bytes per second is the figure.
// Value plot: opening the plot of an object with 100,000 values, and redrawing it (one full
// paint of the chart at 1000 x 600), offscreen.
#include "tw/core/message_manager.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/export.hpp"

#ifdef TW_HAVE_CHARTS
#include "tw/panes/value_plot.hpp"

#include <QChartView>
#include <QImage>
#include <QPainter>
#endif

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cmath>

using namespace tw::viewer;

namespace {

void Fill(TracePages& pages, int lines, int valuesEvery) {
    MessageManager store(pages);
    store.SetProcessMessages(true);
    for (int i = 1; i <= lines; ++i) {
        MessageRef m;
        if (i % valuesEvery == 0) {
            const QString v = QString::number(std::sin(i / 1000.0) * 1000.0, 'f', 2);
            m = MessageSink::CreateEx(4, i, QStringLiteral("Total = ") + v, u"Total", v);
        } else {
            switch (i % 8) {
                case 0: m = MessageSink::CreateEx(6, i, u"{@Total}"); break;
                case 7: m = MessageSink::CreateEx(7, i, u"{@Total}"); break;
                case 5: m = MessageSink::CreateEx(14, i, u"checkpoint"); break;
                default: m = MessageSink::CreateEx(0, i, QStringLiteral("record %1 computed, \"quoted\" too").arg(i)); break;
            }
        }
        store.Add(m);
    }
}

void BM_ExportMillionLines(benchmark::State& state) {
    PlainTracePages pages;
    Fill(pages, 1'000'000, 3);
    QTemporaryDir dir;
    const auto format = state.range(0) ? tw::window::ExportFormat::Csv : tw::window::ExportFormat::Text;
    const QString path = dir.filePath(state.range(0) ? "page.csv" : "page.txt");
    qint64 bytes = 0;
    for (auto _ : state) {
        const tw::window::ExportResult r = tw::window::ExportTree(pages.GetDefault(), path, format);
        if (!r.ok) state.SkipWithError("export failed");
        bytes += r.bytes;
    }
    state.SetBytesProcessed(bytes);
    state.counters["MB"] = double(QFile(path).size()) / 1e6;
}

#ifdef TW_HAVE_CHARTS
struct PlotFixture {
    PlotFixture() {
        viewer = std::make_unique<Viewer>();
        Fill(*viewer, 300'000, 3);  // 100,000 values of Total
        viewer->FlushPending();
    }
    std::unique_ptr<Viewer> viewer;
};

void BM_PlotOpenHundredThousandPoints(benchmark::State& state) {
    PlotFixture f;
    for (auto _ : state) {
        ValuePlot plot(*f.viewer, QStringLiteral("Total"));
        plot.resize(1000, 600);
        benchmark::DoNotOptimize(plot.PointCount(0));
    }
}

void BM_PlotRedrawHundredThousandPoints(benchmark::State& state) {
    PlotFixture f;
    ValuePlot plot(*f.viewer, QStringLiteral("Total"));
    plot.resize(1000, 600);
    plot.show();
    QApplication::processEvents();
    QImage image(plot.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        // A full repaint, as after a resize or a new batch of values.
        plot.ChartView()->viewport()->update();
        QPainter painter(&image);
        plot.ChartView()->render(&painter);
    }
    int points = 0;
    for (int k = 0; k < plot.SeriesCount(); ++k) points += plot.PointCount(k);
    state.counters["points"] = points;
}
BENCHMARK(BM_PlotOpenHundredThousandPoints)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotRedrawHundredThousandPoints)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK(BM_ExportMillionLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
