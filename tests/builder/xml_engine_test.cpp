#include "tw/builder/xml_engine.hpp"

#include "tw/builder/engine.hpp"
#include "tw/builder/object_rows.hpp"
#include "tw/common/common.hpp"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tw::builder;
using namespace tw::builder::engine;

namespace {

const QString kDefinitions = QStringLiteral(TW_REPORT_DEFINITIONS_DIR);

#define REQUIRE_DEFINITIONS()                                                                  \
    if (kDefinitions.isEmpty() || !QFile::exists(kDefinitions + QStringLiteral("/Activity.xml"))) \
    GTEST_SKIP() << "report definitions not found (set TW_REPORT_DEFINITIONS_DIR)"

std::shared_ptr<Report> Open(const char* name) {
    XmlApplication app;
    return app.OpenReport(kDefinitions + QLatin1Char('/') + QLatin1String(name));
}

std::vector<ObjectRow> Rows(const Report& report, ObjectView view) {
    std::vector<ObjectRow> rows;
    BuildObjectRows(report, view, rows);
    return rows;
}

QStringList SubreportNames(const Report& report) {
    QStringList names;
    const auto sections = report.Sections();
    for (int s = 1; s <= sections->Count(); ++s) {
        const auto objects = sections->Item(s)->ReportObjects();
        for (int o = 1; o <= objects->Count(); ++o) {
            if (objects->Item(o)->Kind() == kSubreportObject) names << objects->Item(o)->SubreportName();
        }
    }
    return names;
}

// The number and description of the error that f throws; number 0 when it throws none.
template <class F>
tw::ErrorInfo ErrorOf(F f) {
    try {
        f();
    } catch (const tw::AppError& e) {
        return e.info();
    }
    return {};
}

const char* const kSmall = R"(<?xml version="1.0" encoding="utf-8"?>
<Report Name="" FileName="x.rpt">
  <SubReports>
    <Report Name="Inner">
      <ReportDefinition><Areas><Area><Sections><Section><ReportObjects>
        <FieldObject Kind="FieldObject" DataSource="{@InnerOnly}" />
      </ReportObjects></Section></Sections></Area></Areas></ReportDefinition>
    </Report>
    <Report Name="Empty" />
  </SubReports>
  <Database>
    <TableLinks><TableLink><SourceFields><Field FormulaName="{T.link}" /></SourceFields></TableLink></TableLinks>
    <Tables>
      <Table Alias="T" Name="Command"><Command>SELECT 1</Command>
        <Fields><Field FormulaForm="{T.a}" Name="a" /><Field FormulaForm="{T.b}" Name="b" /></Fields>
      </Table>
      <Table Name="NoAlias"><Fields><Field Name="c" /></Fields></Table>
    </Tables>
  </Database>
  <DataDefinition><FormulaFieldDefinitions>
    <FormulaFieldDefinition FormulaName="{@One}" Name="One">Local NumberVar n := 1;
// StringVar hidden
n &lt; 2</FormulaFieldDefinition>
    <FormulaFieldDefinition Name="Two">a&#13;
b</FormulaFieldDefinition>
  </FormulaFieldDefinitions></DataDefinition>
  <ReportDefinition><Areas>
    <Area><Sections>
      <Section><ReportObjects>
        <TextObject Kind="TextObject" />
        <FieldObject Kind="FieldObject" DataSource="{T.a}"><Font /></FieldObject>
        <SubreportObject Kind="SubreportObject" SubreportName="Inner" />
      </ReportObjects></Section>
      <Section />
    </Sections></Area>
    <Area><Sections><Section><ReportObjects>
      <FieldObject Kind="FieldObject" DataSource="{T.a}" />
      <SubreportObject Kind="SubreportObject" SubreportName="inner" />
    </ReportObjects></Section></Sections></Area>
  </Areas></ReportDefinition>
</Report>
)";

}  // namespace

TEST(XmlDefinition, EngineObjectsOfASmallDefinition) {
    const auto report = ReadReportDefinition(QByteArray(kSmall), QStringLiteral("small.xml"));
    EXPECT_EQ(report->Sections()->Count(), 3);
    EXPECT_EQ(report->Sections()->Item(2)->ReportObjects()->Count(), 0);
    const auto first = report->Sections()->Item(1)->ReportObjects();
    ASSERT_EQ(first->Count(), 3);
    EXPECT_EQ(first->Item(1)->Kind(), 2);
    EXPECT_EQ(first->Item(2)->Kind(), kFieldObject);
    EXPECT_EQ(first->Item(2)->Field()->Name(), QStringLiteral("{T.a}"));
    EXPECT_EQ(first->Item(3)->Kind(), kSubreportObject);

    // A field placed twice gives two rows; a subreport placed twice is listed twice.
    EXPECT_EQ(Rows(*report, ObjectView::ReportFields),
              (std::vector<ObjectRow>{{QStringLiteral("{T.a}"), icons::kField, {}}, {QStringLiteral("{T.a}"), icons::kField, {}}}));
    EXPECT_EQ(SubreportNames(*report), (QStringList{QStringLiteral("Inner"), QStringLiteral("inner")}));

    // Table link fields are not table fields; a table without alias is named by its name.
    EXPECT_EQ(Rows(*report, ObjectView::DatabaseFields),
              (std::vector<ObjectRow>{{QStringLiteral("{T.a}"), icons::kField, {QStringLiteral("T")}},
                                      {QStringLiteral("{T.b}"), icons::kField, {QStringLiteral("T")}},
                                      {QStringLiteral("c"), icons::kField, {QStringLiteral("NoAlias")}}}));

    const auto formulas = report->FormulaFields();
    ASSERT_EQ(formulas->Count(), 2);
    EXPECT_EQ(formulas->Item(1)->Text(), QStringLiteral("Local NumberVar n := 1;\r\n// StringVar hidden\r\nn < 2"));
    EXPECT_EQ(formulas->Item(2)->Name(), QStringLiteral("{@Two}"));
    EXPECT_EQ(formulas->Item(2)->Text(), QStringLiteral("a\r\nb"));  // a CR LF already there is kept as it is
    EXPECT_EQ(Rows(*report, ObjectView::Variables),
              (std::vector<ObjectRow>{{QStringLiteral("n"), icons::kVariable,
                                       {QStringLiteral("{@One}"), QStringLiteral("NumberVar"), QStringLiteral("Local")}}}));

    // Subreports are found without regard to case and list only their own objects.
    const auto inner = report->OpenSubreport(QStringLiteral("INNER"));
    EXPECT_EQ(Rows(*inner, ObjectView::ReportFields), (std::vector<ObjectRow>{{QStringLiteral("{@InnerOnly}"), icons::kField, {}}}));
    EXPECT_EQ(inner->Database()->Tables()->Count(), 0);
    EXPECT_EQ(inner->FormulaFields()->Count(), 0);
}

TEST(XmlDefinition, ErrorsOfObjectsAndSubreports) {
    const auto report = ReadReportDefinition(QByteArray(kSmall), QStringLiteral("small.xml"));
    EXPECT_EQ(ErrorOf([&] { report->Sections()->Item(4); }).number, kErrSubscript);
    EXPECT_EQ(ErrorOf([&] { report->Sections()->Item(0); }).number, kErrSubscript);
    EXPECT_EQ(ErrorOf([&] { report->Sections()->Item(1)->ReportObjects()->Item(1)->Field(); }).number, 438);

    const auto missing = ErrorOf([&] { report->OpenSubreport(QStringLiteral("Nowhere")); });
    EXPECT_EQ(missing.number, kErrSubscript);
    EXPECT_TRUE(missing.description.contains(QStringLiteral("\"Nowhere\""))) << missing.description.toStdString();

    const auto empty = ErrorOf([&] { report->OpenSubreport(QStringLiteral("Empty")); });
    EXPECT_EQ(empty.number, kErrInvalidDefinition);
    EXPECT_TRUE(empty.description.contains(QStringLiteral("no sections"))) << empty.description.toStdString();
}

TEST(XmlDefinition, BrokenDefinitionsGiveClearErrors) {
    const QByteArray whole(kSmall);
    struct Case {
        QByteArray xml;
        const char* says;
    } cases[] = {
        {whole.left(whole.size() / 2), "ends early"},
        {whole.left(60), "ends early"},
        {QByteArray(), "empty"},
        {QByteArray("<Report><Database></Report>"), "malformed"},
        {QByteArray("not xml at all"), "malformed"},
        {QByteArray("<Report/><Report/>"), "malformed"},
        {QByteArray("<Workbook><Sheet/></Workbook>"), "not a report definition"},
        {QByteArray("<Report Name=\"\"><Database/></Report>"), "has no sections"},
        {QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" " binary"), "run time library"},
    };
    for (const Case& c : cases) {
        const auto err = ErrorOf([&] { ReadReportDefinition(c.xml, QStringLiteral("bad.xml")); });
        EXPECT_NE(err.number, 0) << c.says;
        EXPECT_TRUE(err.description.contains(QLatin1String(c.says)) && err.description.contains(QStringLiteral("bad.xml")))
            << c.says << ": " << err.description.toStdString();
    }
}

TEST(XmlApplication, FilesThatCannotBeOpened) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    XmlApplication app;
    EXPECT_EQ(ErrorOf([&] { app.OpenReport(dir.filePath(QStringLiteral("missing.xml"))); }).number, kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { app.OpenReport(QString()); }).number, kErrFileNotFound);
    EXPECT_EQ(ErrorOf([&] { app.OpenReport(dir.path()); }).number, kErrFileAccess);

    QFile rpt(dir.filePath(QStringLiteral("Sales.RPT")));
    ASSERT_TRUE(rpt.open(QIODevice::WriteOnly));
    rpt.write("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    rpt.close();
    const auto err = ErrorOf([&] { app.OpenReport(rpt.fileName()); });
    EXPECT_EQ(err.number, kErrNeedsRuntime);
    EXPECT_TRUE(err.description.contains(QStringLiteral("Sales.RPT")));
    EXPECT_TRUE(err.description.contains(QStringLiteral("XML definition")));
    // The same bytes under another name are recognised too.
    ASSERT_TRUE(QFile::copy(rpt.fileName(), dir.filePath(QStringLiteral("renamed.xml"))));
    EXPECT_EQ(ErrorOf([&] { app.OpenReport(dir.filePath(QStringLiteral("renamed.xml"))); }).number, kErrNeedsRuntime);

    QFile locked(dir.filePath(QStringLiteral("locked.xml")));
    ASSERT_TRUE(locked.open(QIODevice::WriteOnly));
    locked.write(kSmall);
    locked.close();
    locked.setPermissions(QFileDevice::Permissions());
    if (QFile(locked.fileName()).open(QIODevice::ReadOnly)) return;  // running with rights that ignore permissions
    EXPECT_EQ(ErrorOf([&] { app.OpenReport(locked.fileName()); }).number, kErrFileAccess);
}

TEST(RealDefinitions, PlainReport) {
    REQUIRE_DEFINITIONS();
    const auto activity = Open("Activity.xml");
    EXPECT_TRUE(SubreportNames(*activity).isEmpty());

    const auto fields = Rows(*activity, ObjectView::ReportFields);
    ASSERT_EQ(fields.size(), 53u);
    EXPECT_EQ(fields.front().text, QStringLiteral("{@Activity}"));
    EXPECT_EQ(std::count_if(fields.begin(), fields.end(), [](const ObjectRow& r) { return r.text == QStringLiteral("{@Title_Activity}"); }), 2);

    const auto columns = Rows(*activity, ObjectView::DatabaseFields);
    ASSERT_EQ(columns.size(), 32u);
    EXPECT_EQ(columns.front(), (ObjectRow{QStringLiteral("{Data.ActivityNo}"), icons::kField, {QStringLiteral("Data")}}));

    const auto formulas = Rows(*activity, ObjectView::FormulaFields);
    ASSERT_EQ(formulas.size(), 91u);
    EXPECT_EQ(formulas.front(), (ObjectRow{QStringLiteral("{@Activity}"), icons::kFormula, {}}));
    EXPECT_EQ(formulas.back().text, QStringLiteral("{@X_Language}"));

    // Formula text comes with CR LF line ends only.
    const auto all = activity->FormulaFields();
    for (int i = 1; i <= all->Count(); ++i) {
        const QString text = all->Item(i)->Text();
        EXPECT_EQ(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n"))) << all->Item(i)->Name().toStdString();
    }

    const QStringList stringVar{QStringLiteral("stringvar"), QStringLiteral("Global")};
    EXPECT_EQ(Rows(*activity, ObjectView::Variables),
              (std::vector<ObjectRow>{
                  {QStringLiteral("timeString"), icons::kVariable, QStringList{QStringLiteral("{@EndTime}")} + stringVar},
                  {QStringLiteral("timeString"), icons::kVariable, QStringList{QStringLiteral("{@StartTime}")} + stringVar}}));
}

TEST(RealDefinitions, TwoTablesAndAScopedVariable) {
    REQUIRE_DEFINITIONS();
    const auto bom = Open("BOM.xml");
    const auto columns = Rows(*bom, ObjectView::DatabaseFields);
    ASSERT_EQ(columns.size(), 20u);
    EXPECT_EQ(std::count_if(columns.begin(), columns.end(), [](const ObjectRow& r) { return r.subItems == QStringList{QStringLiteral("Header")}; }), 9);
    EXPECT_EQ(columns.back(), (ObjectRow{QStringLiteral("{Lines.Currency}"), icons::kField, {QStringLiteral("Lines")}}));
    EXPECT_EQ(Rows(*bom, ObjectView::ReportFields).size(), 38u);
    EXPECT_EQ(Rows(*bom, ObjectView::Variables),
              (std::vector<ObjectRow>{{QStringLiteral("Number"), icons::kVariable,
                                       {QStringLiteral("{@Line_#}"), QStringLiteral("numberVar"), QStringLiteral("global")}}}));
}

TEST(RealDefinitions, SubreportsInOrderWithTheirOwnObjects) {
    REQUIRE_DEFINITIONS();
    const auto card = Open("CustomerEquipmentCard.xml");
    EXPECT_EQ(SubreportNames(*card), (QStringList{QStringLiteral("ServiceContracts"), QStringLiteral("ServiceCalls")}));
    EXPECT_EQ(Rows(*card, ObjectView::ReportFields).size(), 25u);
    EXPECT_EQ(Rows(*card, ObjectView::DatabaseFields).size(), 12u);
    EXPECT_EQ(Rows(*card, ObjectView::FormulaFields).size(), 31u);
    EXPECT_TRUE(Rows(*card, ObjectView::Variables).empty());

    const auto calls = card->OpenSubreport(QStringLiteral("ServiceCalls"));
    const auto callFields = Rows(*calls, ObjectView::ReportFields);
    ASSERT_EQ(callFields.size(), 15u);
    EXPECT_EQ(callFields.front().text, QStringLiteral("{@Title}"));
    EXPECT_EQ(callFields.back().text, QStringLiteral("{@Status}"));
    const auto callColumns = Rows(*calls, ObjectView::DatabaseFields);
    ASSERT_EQ(callColumns.size(), 7u);
    EXPECT_EQ(callColumns.front(), (ObjectRow{QStringLiteral("{ServiceCalls.callID}"), icons::kField, {QStringLiteral("ServiceCalls")}}));
    EXPECT_EQ(Rows(*calls, ObjectView::FormulaFields).size(), 16u);
    EXPECT_TRUE(SubreportNames(*calls).isEmpty());

    const auto contracts = card->OpenSubreport(QStringLiteral("ServiceContracts"));
    EXPECT_EQ(Rows(*contracts, ObjectView::ReportFields).size(), 9u);
    EXPECT_EQ(Rows(*contracts, ObjectView::DatabaseFields).front().subItems, QStringList{QStringLiteral("Contracts")});
    EXPECT_EQ(Rows(*contracts, ObjectView::FormulaFields).size(), 12u);
}

TEST(RealDefinitions, TruncatedRealFile) {
    REQUIRE_DEFINITIONS();
    QFile whole(kDefinitions + QStringLiteral("/CustomerEquipmentCard.xml"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    for (const qsizetype cut : {qsizetype(3), bytes.size() / 3, bytes.size() - 20}) {
        const auto err = ErrorOf([&] { ReadReportDefinition(bytes.left(cut), QStringLiteral("card.xml")); });
        EXPECT_EQ(err.number, kErrInvalidDefinition) << cut;
    }
}
