// The Application on Windows: the engine runtime "craxdrt" through late-bound automation
// (automation.hpp), every member looked up by name. Stepwright9 creates the version 9 runtime,
// Stepwright85 the version 8.5 one, each falling back to the version-independent identifier.
// Report definitions in XML still open through the XML reader.
#include "automation.hpp"
#include "tw/builder/engine.hpp"
#include "tw/builder/xml_engine.hpp"
#include "tw/common/common.hpp"

#include <QString>

#include <utility>

namespace tw::builder::engine {
namespace {

using automation::AutomationError;
using automation::Object;
using automation::Variant;

std::wstring Wide(const QString& text) { return text.toStdWString(); }
QString FromWide(const std::wstring& text) { return QString::fromStdWString(text); }

// Runs one automation step; its failure becomes the project's error with the same number.
template <class F>
auto Guarded(F&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const AutomationError& error) {
        throw AppError(static_cast<qint32>(error.number()), FromWide(error.description()));
    }
}

// An engine collection (Count, Item from 1) whose items are wrapped as T.
template <class Interface, class Wrapper>
class RuntimeCollection final : public Collection<Interface> {
  public:
    explicit RuntimeCollection(Object collection) : m_collection(std::move(collection)) {}
    int Count() const override {
        return Guarded([&] { return static_cast<int>(m_collection.Count()); });
    }
    std::shared_ptr<Interface> Item(int index) const override {
        return Guarded([&] { return std::make_shared<Wrapper>(m_collection.Item(index)); });
    }

  private:
    Object m_collection;
};

template <class Interface, class Wrapper>
CollectionPtr<Interface> Wrap(const Object& owner, const wchar_t* member) {
    return Guarded([&] {
        return std::make_shared<const RuntimeCollection<Interface, Wrapper>>(owner.GetObject(member));
    });
}

class RuntimeField final : public FieldDefinition {
  public:
    explicit RuntimeField(Object field) : m_field(std::move(field)) {}
    QString Name() const override {
        return Guarded([&] { return FromWide(m_field.GetText(L"Name")); });
    }

  private:
    Object m_field;
};

class RuntimeReportObject final : public ReportObject {
  public:
    explicit RuntimeReportObject(Object object) : m_object(std::move(object)) {}
    int Kind() const override {
        return Guarded([&] { return static_cast<int>(m_object.GetNumber(L"Kind")); });
    }
    QString SubreportName() const override {
        return Guarded([&] { return FromWide(m_object.GetText(L"SubreportName")); });
    }
    std::shared_ptr<FieldDefinition> Field() const override {
        return Guarded([&] { return std::make_shared<RuntimeField>(m_object.GetObject(L"Field")); });
    }

  private:
    Object m_object;
};

class RuntimeSection final : public Section {
  public:
    explicit RuntimeSection(Object section) : m_section(std::move(section)) {}
    CollectionPtr<ReportObject> ReportObjects() const override {
        return Wrap<ReportObject, RuntimeReportObject>(m_section, L"ReportObjects");
    }

  private:
    Object m_section;
};

class RuntimeTable final : public DatabaseTable {
  public:
    explicit RuntimeTable(Object table) : m_table(std::move(table)) {}
    QString Name() const override {
        return Guarded([&] { return FromWide(m_table.GetText(L"Name")); });
    }
    CollectionPtr<FieldDefinition> Fields() const override {
        return Wrap<FieldDefinition, RuntimeField>(m_table, L"Fields");
    }

  private:
    Object m_table;
};

class RuntimeDatabase final : public Database {
  public:
    explicit RuntimeDatabase(Object database) : m_database(std::move(database)) {}
    CollectionPtr<DatabaseTable> Tables() const override {
        return Wrap<DatabaseTable, RuntimeTable>(m_database, L"Tables");
    }

  private:
    Object m_database;
};

class RuntimeFormula final : public FormulaFieldDefinition {
  public:
    explicit RuntimeFormula(Object formula) : m_formula(std::move(formula)) {}
    QString Name() const override {
        return Guarded([&] { return FromWide(m_formula.GetText(L"Name")); });
    }
    QString Text() const override {
        return Guarded([&] { return FromWide(m_formula.GetText(L"Text")); });
    }

  private:
    Object m_formula;
};

class RuntimeReport final : public Report {
  public:
    explicit RuntimeReport(Object report) : m_report(std::move(report)) {}
    CollectionPtr<Section> Sections() const override {
        return Wrap<Section, RuntimeSection>(m_report, L"Sections");
    }
    std::shared_ptr<Report> OpenSubreport(const QString& name) const override {
        return Guarded([&] {
            return std::make_shared<RuntimeReport>(
                m_report.GetObject(L"OpenSubreport", {Variant(Wide(name))}));
        });
    }
    std::shared_ptr<engine::Database> Database() const override {
        return Guarded([&] { return std::make_shared<RuntimeDatabase>(m_report.GetObject(L"Database")); });
    }
    CollectionPtr<FormulaFieldDefinition> FormulaFields() const override {
        return Wrap<FormulaFieldDefinition, RuntimeFormula>(m_report, L"FormulaFields");
    }

  private:
    Object m_report;
};

class RuntimeApplication final : public Application {
  public:
    explicit RuntimeApplication(Object application) : m_application(std::move(application)) {}
    std::shared_ptr<Report> OpenReport(const QString& fileName) override {
        if (fileName.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive)) return m_xml.OpenReport(fileName);
        // The open-method argument is left out, as the engine allows.
        return Guarded([&] {
            return std::make_shared<RuntimeReport>(
                m_application.GetObject(L"OpenReport", {Variant(Wide(fileName))}));
        });
    }

  private:
    Object m_application;
    XmlApplication m_xml;
};

// Keeps COM initialised on the Stepwright's thread while the Application lives.
struct ComApartment {
    ComApartment() { CoInitialize(nullptr); }
};

}  // namespace

std::shared_ptr<Application> CreateApplication(EngineVersion version) {
    static ComApartment apartment;
    return Guarded([&] {
        Object application =
            version == EngineVersion::V9
                ? Object::Create({L"CrystalRuntime.Application.9", L"CrystalRuntime.Application"})
                : Object::Create({L"CrystalRuntime.Application.8.5", L"CrystalRuntime.Application"});
        return std::make_shared<RuntimeApplication>(std::move(application));
    });
}

}  // namespace tw::builder::engine
