// A report definition (the XML written beside a .rpt file) read into what the test runtime
// serves: sections and their report objects, database tables and fields, formula fields and
// subreports. Plain C++: a small XML reader for the part of XML these files use.
//
// The mapping is the Stepwright's definition reader's (builder/src/xml_engine.cpp), so that a
// definition opened through automation lists what the same definition read as XML lists. Two
// attributes exist for tests of failures only: a report object without `DataSource` has no
// `Field` member (and one without `SubreportName` no `SubreportName`), and `Count` on a
// `ReportObjects` element makes that collection claim more items than it holds.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw::standin {

struct ObjectData {
    int kind = 0;
    bool hasField = false;
    std::wstring fieldName;
    bool hasSubreportName = false;
    std::wstring subreportName;
};

struct SectionData {
    std::vector<ObjectData> objects;
    long claimedCount = -1;  // -1: the number of objects
};

struct TableData {
    std::wstring name;
    std::vector<std::wstring> fields;
};

struct FormulaData {
    std::wstring name;
    std::wstring text;  // line ends CR LF
};

struct ReportData {
    std::wstring name;
    std::vector<SectionData> sections;
    std::vector<TableData> tables;
    std::vector<FormulaData> formulas;
    std::vector<std::shared_ptr<const ReportData>> subreports;  // the main report's only
};

// Why a definition cannot be read.
class DefinitionError : public std::runtime_error {
  public:
    explicit DefinitionError(const std::wstring& why) : std::runtime_error("definition"), m_why(why) {}
    const std::wstring& why() const { return m_why; }

  private:
    std::wstring m_why;
};

// Reads a whole definition from UTF-8 XML. Throws DefinitionError.
std::shared_ptr<const ReportData> ReadDefinition(const std::string& utf8);

}  // namespace tw::standin
