#include "tw/builder/object_rows.hpp"

#include "tw/builder/engine.hpp"
#include "tw/builder/scanner.hpp"
#include "tw/builder/strings.hpp"

namespace tw::builder {

namespace {

// Room kept free for the row check box and the scroll bar.
constexpr int kMarginTwips = 512;
constexpr int kTableColumnTwips = 2880;

}  // namespace

std::vector<ObjectColumn> ObjectColumns(ObjectView view, int listWidthTwips) {
    const int w = listWidthTwips;
    switch (view) {
        case ObjectView::ReportFields:
            return {{QStringLiteral("Report Fields"), w - kMarginTwips}};
        case ObjectView::DatabaseFields:
            return {{QStringLiteral("Database Fields"), kTableColumnTwips},
                    {QStringLiteral("Database Tables"), w - kTableColumnTwips - kMarginTwips}};
        case ObjectView::FormulaFields:
            return {{QStringLiteral("Formulas"), w - kMarginTwips}};
        case ObjectView::Variables:
            return {{QStringLiteral("Variable"), -1},
                    {QStringLiteral("Formula"), -1},
                    {QStringLiteral("Type"), -1},
                    {QStringLiteral("Scope"), w - 3 * kDefaultColumnTwips - kMarginTwips}};
    }
    return {};
}

void BuildObjectRows(const engine::Report& report, ObjectView view, std::vector<ObjectRow>& rows) {
    switch (view) {
        case ObjectView::ReportFields: {
            const auto sections = report.Sections();
            for (int s = 1; s <= sections->Count(); ++s) {
                const auto objects = sections->Item(s)->ReportObjects();
                for (int o = 1; o <= objects->Count(); ++o) {
                    const auto object = objects->Item(o);
                    if (object->Kind() == engine::kFieldObject) rows.push_back({object->Field()->Name(), icons::kField, {}});
                }
            }
            break;
        }
        case ObjectView::DatabaseFields: {
            const auto tables = report.Database()->Tables();
            for (int t = 1; t <= tables->Count(); ++t) {
                const auto table = tables->Item(t);
                const auto fields = table->Fields();
                for (int f = 1; f <= fields->Count(); ++f) rows.push_back({fields->Item(f)->Name(), icons::kField, {table->Name()}});
            }
            break;
        }
        case ObjectView::FormulaFields: {
            const auto formulas = report.FormulaFields();
            for (int f = 1; f <= formulas->Count(); ++f) rows.push_back({formulas->Item(f)->Name(), icons::kFormula, {}});
            break;
        }
        case ObjectView::Variables: {
            const auto formulas = report.FormulaFields();
            for (int f = 1; f <= formulas->Count(); ++f) {
                const auto formula = formulas->Item(f);
                const QStringList lines = SplitLines(formula->Text());
                ScanFormulaVariables(formula->Name(), &lines, rows);
            }
            break;
        }
    }
}

}  // namespace tw::builder
