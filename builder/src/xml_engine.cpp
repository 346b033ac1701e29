#include "tw/builder/xml_engine.hpp"

#include "tw/common/common.hpp"
#include "tw/common/files.hpp"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <vector>

namespace tw::builder::engine {

namespace {

// ---- the definition as read -------------------------------------------------------------------

struct ObjectData {
    int kind = 0;
    QString fieldName;
    QString subreportName;
};

struct SectionData {
    std::vector<ObjectData> objects;
};

struct TableData {
    QString name;
    std::vector<QString> fields;
};

struct FormulaData {
    QString name;
    QString text;
};

struct ReportData {
    QString name;
    QString sourceName;
    std::vector<SectionData> sections;
    std::vector<TableData> tables;
    std::vector<FormulaData> formulas;
    std::vector<std::shared_ptr<const ReportData>> subreports;  // the main report's only
};

// The engine's numbers for the kinds of report object named in the definition.
int KindFromName(QStringView name) {
    static const struct {
        const char* name;
        int kind;
    } kKinds[] = {{"FieldObject", 1},     {"TextObject", 2},     {"LineObject", 3},
                  {"BoxObject", 4},       {"SubreportObject", 5}, {"OleObject", 6},
                  {"GraphObject", 7},     {"ChartObject", 7},    {"CrossTabObject", 8},
                  {"BlobFieldObject", 9}, {"PictureObject", 9},  {"MapObject", 10},
                  {"OlapGridObject", 11}};
    for (const auto& k : kKinds) {
        if (name == QLatin1String(k.name)) return k.kind;
    }
    return 0;
}

// XML gives every line end as LF; the engine hands formula text over with CR LF.
QString WithCrLf(const QString& text) {
    QString out;
    out.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r'))) out += QLatin1Char('\r');
        out += c;
    }
    return out;
}

AppError InvalidDefinition(const QString& sourceName, const QString& why) {
    return AppError(kErrInvalidDefinition,
                    QStringLiteral("The report definition %1 cannot be read: %2").arg(sourceName, why));
}

// Reads only the parts of a definition the Stepwright shows and skips the rest.
class DefinitionParser {
public:
    DefinitionParser(QIODevice* device, QString sourceName) : m_reader(device), m_sourceName(std::move(sourceName)) {}

    std::shared_ptr<ReportData> Parse() {
        auto report = std::make_shared<ReportData>();
        report->sourceName = m_sourceName;
        if (m_reader.readNextStartElement()) {
            if (m_reader.name() != QLatin1String("Report")) {
                throw InvalidDefinition(
                    m_sourceName,
                    QStringLiteral("it is XML, but not a report definition (its first element is <%1>, not <Report>).")
                        .arg(m_reader.name().toString()));
            }
            ParseReport(*report, true);
            while (!m_reader.atEnd()) m_reader.readNext();  // anything after the report must be well-formed too
        }
        ThrowIfBroken();
        if (report->sections.empty()) throw NoSections(*report);
        return report;
    }

    AppError NoSections(const ReportData& report) const {
        const QString which = report.name.isEmpty() ? QStringLiteral("the report")
                                                    : QStringLiteral("the subreport %1").arg(report.name);
        return InvalidDefinition(m_sourceName, QStringLiteral("%1 has no sections.").arg(which));
    }

private:
    void ThrowIfBroken() {
        if (!m_reader.hasError()) return;
        const QString where = QStringLiteral("line %1, column %2").arg(m_reader.lineNumber()).arg(m_reader.columnNumber());
        if (m_reader.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            if (m_reader.characterOffset() == 0 || m_reader.lineNumber() == 0)
                throw InvalidDefinition(m_sourceName, QStringLiteral("the file is empty."));
            throw InvalidDefinition(m_sourceName,
                                    QStringLiteral("the XML ends early, at %1 (is the file truncated?).").arg(where));
        }
        QString why = m_reader.errorString();
        while (why.endsWith(QLatin1Char('.'))) why.chop(1);
        throw InvalidDefinition(m_sourceName, QStringLiteral("the XML is malformed at %1: %2.").arg(where, why));
    }

    QString Attribute(const char* name) const { return m_reader.attributes().value(QLatin1String(name)).toString(); }

    // Runs child(name) for each child element of the current element.
    template <class F>
    void ForEachChild(F child) {
        while (m_reader.readNextStartElement()) child(m_reader.name());
    }

    void ParseReport(ReportData& report, bool isMain) {
        report.name = Attribute("Name");
        ForEachChild([&](QStringView name) {
            if (name == QLatin1String("SubReports") && isMain) {
                ForEachChild([&](QStringView sub) {
                    if (sub == QLatin1String("Report")) {
                        auto subreport = std::make_shared<ReportData>();
                        subreport->sourceName = m_sourceName;
                        ParseReport(*subreport, false);
                        report.subreports.push_back(std::move(subreport));
                    } else {
                        m_reader.skipCurrentElement();
                    }
                });
            } else if (name == QLatin1String("Database")) {
                ParseDatabase(report);
            } else if (name == QLatin1String("DataDefinition")) {
                ParseDataDefinition(report);
            } else if (name == QLatin1String("ReportDefinition")) {
                ParseReportDefinition(report);
            } else {
                m_reader.skipCurrentElement();
            }
        });
    }

    void ParseDatabase(ReportData& report) {
        ForEachChild([&](QStringView name) {
            if (name != QLatin1String("Tables")) return m_reader.skipCurrentElement();
            ForEachChild([&](QStringView tableName) {
                if (tableName != QLatin1String("Table")) return m_reader.skipCurrentElement();
                TableData table;
                table.name = Attribute("Alias");
                if (table.name.isEmpty()) table.name = Attribute("Name");
                ForEachChild([&](QStringView part) {
                    if (part != QLatin1String("Fields")) return m_reader.skipCurrentElement();
                    ForEachChild([&](QStringView field) {
                        if (field == QLatin1String("Field")) {
                            QString fieldName = Attribute("FormulaForm");
                            if (fieldName.isEmpty()) fieldName = Attribute("Name");
                            table.fields.push_back(fieldName);
                        }
                        m_reader.skipCurrentElement();
                    });
                });
                report.tables.push_back(std::move(table));
            });
        });
    }

    void ParseDataDefinition(ReportData& report) {
        ForEachChild([&](QStringView name) {
            if (name != QLatin1String("FormulaFieldDefinitions")) return m_reader.skipCurrentElement();
            ForEachChild([&](QStringView formula) {
                if (formula != QLatin1String("FormulaFieldDefinition")) return m_reader.skipCurrentElement();
                FormulaData data;
                data.name = Attribute("FormulaName");
                if (data.name.isEmpty()) data.name = QStringLiteral("{@%1}").arg(Attribute("Name"));
                data.text = WithCrLf(m_reader.readElementText(QXmlStreamReader::IncludeChildElements));
                report.formulas.push_back(std::move(data));
            });
        });
    }

    void ParseReportDefinition(ReportData& report) {
        ForEachChild([&](QStringView name) {
            if (name != QLatin1String("Areas")) return m_reader.skipCurrentElement();
            ForEachChild([&](QStringView area) {
                if (area != QLatin1String("Area")) return m_reader.skipCurrentElement();
                ForEachChild([&](QStringView sections) {
                    if (sections != QLatin1String("Sections")) return m_reader.skipCurrentElement();
                    ForEachChild([&](QStringView section) {
                        if (section != QLatin1String("Section")) return m_reader.skipCurrentElement();
                        report.sections.push_back(ParseSection());
                    });
                });
            });
        });
    }

    SectionData ParseSection() {
        SectionData section;
        ForEachChild([&](QStringView name) {
            if (name != QLatin1String("ReportObjects")) return m_reader.skipCurrentElement();
            ForEachChild([&](QStringView element) {
                ObjectData object;
                const QString kind = Attribute("Kind");
                object.kind = KindFromName(kind.isEmpty() ? element : QStringView(kind));
                object.fieldName = Attribute("DataSource");
                object.subreportName = Attribute("SubreportName");
                section.objects.push_back(std::move(object));
                m_reader.skipCurrentElement();
            });
        });
        return section;
    }

    QXmlStreamReader m_reader;
    QString m_sourceName;
};

// ---- the engine objects over it -----------------------------------------------------------------

template <class T>
class ListCollection final : public Collection<T> {
public:
    explicit ListCollection(std::vector<std::shared_ptr<T>> items) : m_items(std::move(items)) {}
    int Count() const override { return static_cast<int>(m_items.size()); }
    std::shared_ptr<T> Item(int index) const override {
        if (index < 1 || index > Count()) {
            throw AppError(kErrSubscript, QStringLiteral("Subscript out of range (item %1 of %2).").arg(index).arg(Count()));
        }
        return m_items[static_cast<std::size_t>(index - 1)];
    }

private:
    std::vector<std::shared_ptr<T>> m_items;
};

template <class T>
CollectionPtr<T> MakeCollection(std::vector<std::shared_ptr<T>> items) {
    return std::make_shared<const ListCollection<T>>(std::move(items));
}

class XmlField final : public FieldDefinition {
public:
    explicit XmlField(QString name) : m_name(std::move(name)) {}
    QString Name() const override { return m_name; }

private:
    QString m_name;
};

class XmlReportObject final : public ReportObject {
public:
    explicit XmlReportObject(const ObjectData& data) : m_data(data) {}
    int Kind() const override { return m_data.kind; }
    QString SubreportName() const override {
        if (m_data.kind != kSubreportObject)
            throw AppError(438, QStringLiteral("Object doesn't support this property or method (SubreportName)."));
        return m_data.subreportName;
    }
    std::shared_ptr<FieldDefinition> Field() const override {
        if (m_data.kind != kFieldObject)
            throw AppError(438, QStringLiteral("Object doesn't support this property or method (Field)."));
        return std::make_shared<XmlField>(m_data.fieldName);
    }

private:
    ObjectData m_data;
};

class XmlSection final : public Section {
public:
    XmlSection(std::shared_ptr<const ReportData> report, std::size_t index) : m_report(std::move(report)), m_index(index) {}
    CollectionPtr<ReportObject> ReportObjects() const override {
        std::vector<std::shared_ptr<ReportObject>> objects;
        for (const ObjectData& o : m_report->sections[m_index].objects) objects.push_back(std::make_shared<XmlReportObject>(o));
        return MakeCollection(std::move(objects));
    }

private:
    std::shared_ptr<const ReportData> m_report;
    std::size_t m_index;
};

class XmlTable final : public DatabaseTable {
public:
    explicit XmlTable(const TableData& data) : m_data(data) {}
    QString Name() const override { return m_data.name; }
    CollectionPtr<FieldDefinition> Fields() const override {
        std::vector<std::shared_ptr<FieldDefinition>> fields;
        for (const QString& f : m_data.fields) fields.push_back(std::make_shared<XmlField>(f));
        return MakeCollection(std::move(fields));
    }

private:
    TableData m_data;
};

class XmlDatabase final : public Database {
public:
    explicit XmlDatabase(std::shared_ptr<const ReportData> report) : m_report(std::move(report)) {}
    CollectionPtr<DatabaseTable> Tables() const override {
        std::vector<std::shared_ptr<DatabaseTable>> tables;
        for (const TableData& t : m_report->tables) tables.push_back(std::make_shared<XmlTable>(t));
        return MakeCollection(std::move(tables));
    }

private:
    std::shared_ptr<const ReportData> m_report;
};

class XmlFormula final : public FormulaFieldDefinition {
public:
    explicit XmlFormula(const FormulaData& data) : m_data(data) {}
    QString Name() const override { return m_data.name; }
    QString Text() const override { return m_data.text; }

private:
    FormulaData m_data;
};

class XmlReport final : public Report {
public:
    explicit XmlReport(std::shared_ptr<const ReportData> data) : m_data(std::move(data)) {}

    CollectionPtr<Section> Sections() const override {
        std::vector<std::shared_ptr<Section>> sections;
        for (std::size_t i = 0; i < m_data->sections.size(); ++i) sections.push_back(std::make_shared<XmlSection>(m_data, i));
        return MakeCollection(std::move(sections));
    }

    std::shared_ptr<Report> OpenSubreport(const QString& name) const override {
        // The engine matches subreport names without regard to case; an exact match wins.
        std::shared_ptr<const ReportData> found;
        for (const auto& sub : m_data->subreports) {
            if (sub->name == name) {
                found = sub;
                break;
            }
            if (!found && sub->name.compare(name, Qt::CaseInsensitive) == 0) found = sub;
        }
        if (!found) {
            throw AppError(kErrSubscript, QStringLiteral("The report definition %1 has no subreport named \"%2\".")
                                              .arg(m_data->sourceName, name));
        }
        if (found->sections.empty()) {
            throw AppError(kErrInvalidDefinition,
                           QStringLiteral("The report definition %1 cannot be read: the subreport %2 has no sections.")
                               .arg(m_data->sourceName, found->name));
        }
        return std::make_shared<XmlReport>(std::move(found));
    }

    std::shared_ptr<engine::Database> Database() const override { return std::make_shared<XmlDatabase>(m_data); }

    CollectionPtr<FormulaFieldDefinition> FormulaFields() const override {
        std::vector<std::shared_ptr<FormulaFieldDefinition>> formulas;
        for (const FormulaData& f : m_data->formulas) formulas.push_back(std::make_shared<XmlFormula>(f));
        return MakeCollection(std::move(formulas));
    }

private:
    std::shared_ptr<const ReportData> m_data;
};

std::shared_ptr<Report> Read(QIODevice* device, const QString& sourceName) {
    DefinitionParser parser(device, sourceName);
    return std::make_shared<XmlReport>(parser.Parse());
}

// The signature of the compound files that hold binary report files.
bool IsBinaryReport(const QByteArray& head) {
    static const char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    return head.startsWith(QByteArray::fromRawData(kSignature, 8));
}

AppError NeedsRuntime(const QString& fileName) {
    return AppError(kErrNeedsRuntime,
                    QStringLiteral("%1 is a Crystal Reports file (.rpt). Report files can only be read by the Crystal "
                                   "Reports run time library (craxdrt) on Windows, which this system does not have. "
                                   "Open the report's XML definition (.xml, as RptToXml writes it) instead.")
                        .arg(fileName));
}

}  // namespace

std::shared_ptr<Report> ReadReportDefinition(const QByteArray& xml, const QString& sourceName) {
    if (IsBinaryReport(xml)) throw NeedsRuntime(sourceName);
    QBuffer buffer;
    buffer.setData(xml);
    buffer.open(QIODevice::ReadOnly);
    return Read(&buffer, sourceName);
}

std::shared_ptr<Report> XmlApplication::OpenReport(const QString& fileName) {
    const QString shown = QDir::toNativeSeparators(fileName);
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.exists()) throw AppError(kErrFileNotFound, QStringLiteral("File not found: %1").arg(shown));
    if (info.isDir()) throw AppError(kErrFileAccess, QStringLiteral("Path/File access error: %1 is a folder, not a report.").arg(shown));
    if (info.suffix().compare(QLatin1String("rpt"), Qt::CaseInsensitive) == 0) throw NeedsRuntime(shown);

    // Only a regular file is read: a named pipe or a device would hold the window up.
    QFile file(fileName);
    QString why;
    switch (OpenRegularFileForReading(file, &why)) {
    case OpenOutcome::Opened: break;
    case OpenOutcome::Missing: throw AppError(kErrFileNotFound, QStringLiteral("File not found: %1").arg(shown));
    case OpenOutcome::NotAFile: throw AppError(kErrFileAccess, QStringLiteral("Path/File access error: %1.").arg(why));
    case OpenOutcome::Failed:
        throw AppError(kErrFileAccess, QStringLiteral("Path/File access error: %1 cannot be opened (%2).").arg(shown, why));
    }
    if (IsBinaryReport(file.peek(8))) throw NeedsRuntime(shown);
    return Read(&file, shown);
}

}  // namespace tw::builder::engine
