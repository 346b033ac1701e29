#pragma once
// Report definitions in XML, as RptToXml writes them from .rpt files with the engine's own SDK:
// the engine objects the Stepwright reads, served from the definition instead of the runtime.
//
// Mapping: sections are ReportDefinition/Areas/Area/Sections/Section in document order, report objects
// the children of a section's ReportObjects (Kind="FieldObject" is kind 1 with its DataSource as the
// field name, Kind="SubreportObject" kind 5); tables are Database/Tables/Table named by Alias with
// fields Fields/Field named by FormulaForm; formula fields are
// DataDefinition/FormulaFieldDefinitions/FormulaFieldDefinition named by FormulaName, the element
// text being the source (its line ends given back as CR LF); subreports are the Report elements
// under SubReports.

#include "tw/builder/engine.hpp"

#include <QByteArray>
#include <QString>

#include <memory>

namespace tw::builder::engine {

// Error numbers of the definition reader (the first three as the language's run time numbers them).
inline constexpr int kErrSubscript = 9;            // no such item or subreport
inline constexpr int kErrFileNotFound = 53;        // the file does not exist
inline constexpr int kErrFileAccess = 75;          // a folder, or unreadable
inline constexpr int kErrInvalidDefinition = 321;  // not XML, truncated, not a report, no sections
inline constexpr int kErrNeedsRuntime = 31001;     // a binary report file, readable only by the runtime

// Reads a whole definition; sourceName names it in error descriptions. Throws AppError.
std::shared_ptr<Report> ReadReportDefinition(const QByteArray& xml, const QString& sourceName);

// The Application of systems without the engine runtime: opens report definitions (.xml); a binary
// report file (.rpt) gets the error kErrNeedsRuntime with a description of what to open instead.
class XmlApplication final : public Application {
public:
    std::shared_ptr<Report> OpenReport(const QString& fileName) override;
};

}  // namespace tw::builder::engine
