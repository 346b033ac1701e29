#pragma once
// The formula variable scanner: finds the variables that a formula's text declares.

#include "tw/builder/object_rows.hpp"

#include <QString>
#include <QStringList>

#include <vector>

namespace tw::builder {

// Appends one row per declaration found in lines (the formula's text split by SplitLines): text the
// variable name, icon kVariable, sub-items the formula's name, the type keyword as written and the
// scope. An absent line list (nullptr) is skipped.
void ScanFormulaVariables(const QString& formulaName, const QStringList* lines, std::vector<ObjectRow>& rows);

}  // namespace tw::builder
