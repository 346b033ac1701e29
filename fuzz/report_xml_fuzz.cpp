// The report-definition reader on any bytes: either an AppError with a description, or a report
// whose every object, subreport and view can be walked without fault.
#include "fuzz_check.hpp"
#include "tw/builder/engine.hpp"
#include "tw/builder/object_rows.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/common.hpp"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tb = tw::builder;
namespace te = tw::builder::engine;

namespace {

void Walk(const te::Report& report, int depth) {
    for (int view = 0; view <= 3; ++view) {
        std::vector<tb::ObjectRow> rows;
        try {
            tb::BuildObjectRows(report, static_cast<tb::ObjectView>(view), rows);
        } catch (const tw::AppError& e) {
            TW_FUZZ_CHECK(e.info().number != 0);
        }
        for (const auto& row : rows) TW_FUZZ_CHECK(row.icon > 0 && row.icon < tb::icons::kCount);
    }
    const auto formulas = report.FormulaFields();
    for (int i = 1; i <= formulas->Count(); ++i) {
        const QString text = formulas->Item(i)->Text();
        // Line ends come back as CR LF: no LF without its CR.
        for (qsizetype k = 0; k < text.size(); ++k) {
            if (text[k] == QLatin1Char('\n')) TW_FUZZ_CHECK(k > 0 && text[k - 1] == QLatin1Char('\r'));
        }
    }
    const auto sections = report.Sections();
    for (int s = 1; s <= sections->Count(); ++s) {
        const auto objects = sections->Item(s)->ReportObjects();
        for (int o = 1; o <= objects->Count(); ++o) {
            const auto object = objects->Item(o);
            if (object->Kind() == te::kFieldObject) {
                (void)object->Field()->Name();
            } else if (object->Kind() == te::kSubreportObject && depth < 3) {
                try {
                    const auto sub = report.OpenSubreport(object->SubreportName());
                    TW_FUZZ_CHECK(sub != nullptr);
                    Walk(*sub, depth + 1);
                } catch (const tw::AppError& e) {
                    TW_FUZZ_CHECK(e.info().number != 0);
                }
            }
        }
    }
    // Items outside 1..Count are errors, not faults.
    try {
        (void)sections->Item(sections->Count() + 1);
        TW_FUZZ_CHECK(false);
    } catch (const tw::AppError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto report = te::ReadReportDefinition(xml, QStringLiteral("fuzz.xml"));
        TW_FUZZ_CHECK(report != nullptr);
        Walk(*report, 0);
    } catch (const tw::AppError& e) {
        TW_FUZZ_CHECK(e.info().number != 0);
        TW_FUZZ_CHECK(!e.info().description.isEmpty());
    }
    return 0;
}
