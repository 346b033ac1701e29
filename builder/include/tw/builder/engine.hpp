#pragma once
// The Stepwright's view of the report engine: the few engine objects and members it reads, named as
// the engine names them. Two implementations sit behind it: report definitions in XML (every system)
// and the engine's automation runtime (Windows, builder/windows/).
//
// Every member may throw tw::AppError (number and description, as the engine reports its errors);
// callers show it with ShowErrors. Objects are shared: a report stays valid while anyone holds it.
// Collections count from 1, as the engine's collections do.

#include <QString>

#include <memory>

namespace tw::builder::engine {

// Report object kinds that the Stepwright tells apart (the engine's own values).
inline constexpr int kFieldObject = 1;
inline constexpr int kSubreportObject = 5;

// A read-only collection of engine objects, Item(1) to Item(Count()).
template <class T>
class Collection {
public:
    virtual ~Collection() = default;
    virtual int Count() const = 0;
    // Throws AppError when index is outside 1..Count().
    virtual std::shared_ptr<T> Item(int index) const = 0;
};

template <class T>
using CollectionPtr = std::shared_ptr<const Collection<T>>;

// A field definition: the field of a field object, or a field of a database table.
class FieldDefinition {
public:
    virtual ~FieldDefinition() = default;
    // The engine's formula-ready name, e.g. {Data.ActivityNo} or {@Title}.
    virtual QString Name() const = 0;
};

// One object placed in a section.
class ReportObject {
public:
    virtual ~ReportObject() = default;
    virtual int Kind() const = 0;
    // Subreport objects (kind 5) only.
    virtual QString SubreportName() const = 0;
    // Field objects (kind 1) only.
    virtual std::shared_ptr<FieldDefinition> Field() const = 0;
};

class Section {
public:
    virtual ~Section() = default;
    virtual CollectionPtr<ReportObject> ReportObjects() const = 0;
};

class DatabaseTable {
public:
    virtual ~DatabaseTable() = default;
    // The table's name as formulas use it (its alias).
    virtual QString Name() const = 0;
    virtual CollectionPtr<FieldDefinition> Fields() const = 0;
};

class Database {
public:
    virtual ~Database() = default;
    virtual CollectionPtr<DatabaseTable> Tables() const = 0;
};

class FormulaFieldDefinition {
public:
    virtual ~FormulaFieldDefinition() = default;
    // The formula-ready name, e.g. {@Title}.
    virtual QString Name() const = 0;
    // The formula's source text, lines ended by CR LF as the engine hands it over.
    virtual QString Text() const = 0;
};

// A report or a subreport.
class Report {
public:
    virtual ~Report() = default;
    virtual CollectionPtr<Section> Sections() const = 0;
    // The subreport placed in this report under name (a subreport object's SubreportName).
    virtual std::shared_ptr<Report> OpenSubreport(const QString& name) const = 0;
    virtual std::shared_ptr<engine::Database> Database() const = 0;
    virtual CollectionPtr<FormulaFieldDefinition> FormulaFields() const = 0;
};

// The engine's application object; created once when the Stepwright starts.
class Application {
public:
    virtual ~Application() = default;
    // Opens a report file read-only.
    virtual std::shared_ptr<Report> OpenReport(const QString& fileName) = 0;
};

// The engine interface version a build binds to: Stepwright9 and Stepwright85.
enum class EngineVersion { V85, V9 };

// Creates this platform's Application for version. Throws AppError; number 429 means that the
// engine's runtime cannot be created (not installed or not registered).
std::shared_ptr<Application> CreateApplication(EngineVersion version);

}  // namespace tw::builder::engine
