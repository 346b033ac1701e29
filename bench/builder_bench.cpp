// Stepwright costs: opening a real-sized report definition, building each view, scanning formulas.
// The definition read is a generated one of the size of the larger real examples (about 130 KB,
// two subreports), so the benchmark runs without test data.
#include "tw/builder/engine.hpp"
#include "tw/builder/object_rows.hpp"
#include "tw/builder/scanner.hpp"
#include "tw/builder/strings.hpp"
#include "tw/builder/xml_engine.hpp"

#include <QByteArray>
#include <QString>
#include <benchmark/benchmark.h>

using namespace tw::builder;

namespace {

QByteArray ReportXml(const QString& name, int fields, int formulas, bool withSubreports) {
    QByteArray x = "<Report Name=\"" + name.toUtf8() + "\">";
    if (withSubreports) {
        x += "<SubReports>" + ReportXml(QStringLiteral("SubA"), fields / 2, formulas / 2, false) +
             ReportXml(QStringLiteral("SubB"), fields / 2, formulas / 2, false) + "</SubReports>";
    }
    x += "<Database><Tables><Table Alias=\"Data\"><Fields>";
    for (int i = 0; i < fields; ++i) x += "<Field FormulaForm=\"{Data.F" + QByteArray::number(i) + "}\" Name=\"F\" />";
    x += "</Fields></Table></Tables></Database><DataDefinition><FormulaFieldDefinitions>";
    for (int i = 0; i < formulas; ++i) {
        x += "<FormulaFieldDefinition FormulaName=\"{@G" + QByteArray::number(i) +
             "}\">// running total\nLocal NumberVar Array t := [1, 2];\nshared stringvar s := ToText({Data.F1}, '#');\n"
             "if {Data.F2} &gt; 10 / 2 then s := s + 'x' else s</FormulaFieldDefinition>";
    }
    x += "</FormulaFieldDefinitions></DataDefinition><ReportDefinition><Areas><Area><Sections>";
    for (int s = 0; s < 5; ++s) {
        x += "<Section><ReportObjects>";
        for (int i = s; i < fields; i += 5) {
            x += "<FieldObject Kind=\"FieldObject\" DataSource=\"{Data.F" + QByteArray::number(i) +
                 "}\"><Border><BackgroundColor Name=\"White\" A=\"255\" /></Border><Font Name=\"Arial\" /></FieldObject>";
        }
        if (withSubreports && s == 2) {
            x += "<SubreportObject Kind=\"SubreportObject\" SubreportName=\"SubA\" />"
                 "<SubreportObject Kind=\"SubreportObject\" SubreportName=\"SubB\" />";
        }
        x += "</ReportObjects></Section>";
    }
    return x + "</Sections></Area></Areas></ReportDefinition></Report>";
}

const QByteArray& Definition() {
    static const QByteArray xml = ReportXml(QString(), 120, 160, true);
    return xml;
}

void BM_ReadDefinition(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(engine::ReadReportDefinition(Definition(), QStringLiteral("b.xml")));
    state.SetBytesProcessed(state.iterations() * Definition().size());
    state.counters["kB"] = static_cast<double>(Definition().size()) / 1024.0;
}
BENCHMARK(BM_ReadDefinition)->Unit(benchmark::kMicrosecond);

void BM_BuildView(benchmark::State& state) {
    const auto report = engine::ReadReportDefinition(Definition(), QStringLiteral("b.xml"));
    const auto view = static_cast<ObjectView>(state.range(0));
    std::size_t rows = 0;
    for (auto _ : state) {
        std::vector<ObjectRow> out;
        BuildObjectRows(*report, view, out);
        rows = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_BuildView)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_ScanFormulaLine(benchmark::State& state) {
    const QString text = QStringLiteral("Local NumberVar Array totals := 0; shared StringVar s := 'a StringVar'; // c\r\n");
    const QString formula = QStringLiteral("{@F}");
    for (auto _ : state) {
        std::vector<ObjectRow> rows;
        const QStringList lines = SplitLines(text);
        ScanFormulaVariables(formula, &lines, rows);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_ScanFormulaLine);

}  // namespace

BENCHMARK_MAIN();
