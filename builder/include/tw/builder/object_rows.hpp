#pragma once
// The rows of the Stepwright's object list, built from one report (or subreport) for one view.

#include <QString>
#include <QStringList>

#include <vector>

namespace tw::builder {

namespace engine {
class Report;
}

// The four views of the object list, in the order of their option buttons.
enum class ObjectView { ReportFields = 0, DatabaseFields = 1, FormulaFields = 2, Variables = 3 };

// Indices into the Stepwright's image list.
namespace icons {
inline constexpr int kCheckPoint = 1;
inline constexpr int kError = 4;
inline constexpr int kMessage = 7;
inline constexpr int kNote = 8;
inline constexpr int kWarning = 9;
inline constexpr int kReport = 10;  // also the object template
inline constexpr int kSubreport = 11;
inline constexpr int kField = 12;
inline constexpr int kFormula = 13;
inline constexpr int kVariable = 14;
inline constexpr int kCount = 15;
}  // namespace icons

// One row: its text (the name the composer pastes into formulas), its icon and its sub-items.
struct ObjectRow {
    QString text;
    int icon = 0;
    QStringList subItems;
    bool operator==(const ObjectRow&) const = default;
};

// One column header; widthTwips < 0 means the list's default width.
struct ObjectColumn {
    QString header;
    int widthTwips = -1;
};

// The default width of a column added without a width (one inch).
inline constexpr int kDefaultColumnTwips = 1440;

// The columns of a view for a list that is listWidthTwips wide.
std::vector<ObjectColumn> ObjectColumns(ObjectView view, int listWidthTwips);

// Appends the rows of view for report to rows, in the engine's order. Throws tw::AppError from the
// engine or the scanner; rows appended before the error stay.
void BuildObjectRows(const engine::Report& report, ObjectView view, std::vector<ObjectRow>& rows);

}  // namespace tw::builder
