#include "tw/builder/composer.hpp"

#include "tw/builder/object_rows.hpp"

#include <gtest/gtest.h>

using namespace tw::builder;

namespace {

QString Template(int number) { return CommandTemplates().at(number - 1).text; }

}  // namespace

TEST(Composer, TemplatesInListOrderWithTheirPictures) {
    const auto& t = CommandTemplates();
    ASSERT_EQ(t.size(), 6);
    EXPECT_EQ(t[0].text, QStringLiteral("DebugSendObject(%1, %2, RecordNumber)"));
    EXPECT_EQ(t[1].text, QStringLiteral("DebugSendMsgEx(%1, RecordNumber)"));
    EXPECT_EQ(t[2].text, QStringLiteral("DebugSendNoteEx(%1, RecordNumber)"));
    EXPECT_EQ(t[3].text, QStringLiteral("DebugSendErrorEx(%1, RecordNumber)"));
    EXPECT_EQ(t[4].text, QStringLiteral("DebugSendWarningEx(%1, RecordNumber)"));
    EXPECT_EQ(t[5].text, QStringLiteral("DebugAddCheckPoint()"));
    const int pictures[] = {10, 7, 8, 4, 9, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(t[i].icon, pictures[i]);
}

TEST(Composer, EachTemplateInBothSyntaxes) {
    const QStringList x{QStringLiteral("x")};
    EXPECT_EQ(ComposeCommands(Template(1), x, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendObject('x', ToText(x), RecordNumber);\r\n"));
    EXPECT_EQ(ComposeCommands(Template(2), x, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendMsgEx('x = ' + ToText(x), RecordNumber);\r\n"));
    EXPECT_EQ(ComposeCommands(Template(3), x, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendNoteEx('x = ' + ToText(x), RecordNumber);\r\n"));
    EXPECT_EQ(ComposeCommands(Template(4), x, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendErrorEx('x = ' + ToText(x), RecordNumber);\r\n"));
    // Basic syntax: double quotes, no semicolon, the result assigned to a variable declared
    // before the first call of the text.
    EXPECT_EQ(ComposeCommands(Template(5), x, FormulaSyntax::Basic),
              QStringLiteral("Dim traceResult As String\r\n"
                             "traceResult = DebugSendWarningEx(\"x = \" + ToText(x), RecordNumber)\r\n"));
    const QString declared = QStringLiteral("Dim traceResult As String\nrest\n");
    EXPECT_EQ(ComposeCommands(Template(2), {QStringLiteral("total")}, FormulaSyntax::Basic, declared),
              QStringLiteral("traceResult = DebugSendMsgEx(\"total = \" + ToText(total), RecordNumber)\r\n"));
    EXPECT_EQ(ComposeCommands(Template(1), x, FormulaSyntax::Basic, declared),
              QStringLiteral("traceResult = DebugSendObject(\"x\", ToText(x), RecordNumber)\r\n"));
    EXPECT_EQ(ComposeCommands(Template(2), {}, FormulaSyntax::Basic), QString());
}

TEST(Composer, CheckPointOnceWhateverIsTicked) {
    EXPECT_EQ(ComposeCommands(Template(6), {}, FormulaSyntax::Crystal), QStringLiteral("DebugAddCheckPoint();\r\n"));
    EXPECT_EQ(ComposeCommands(Template(6), {QStringLiteral("a"), QStringLiteral("b")}, FormulaSyntax::Basic),
              QStringLiteral("Dim traceResult As String\r\ntraceResult = DebugAddCheckPoint()\r\n"));
    EXPECT_EQ(ComposeCommands(Template(2), {}, FormulaSyntax::Crystal), QString());
}

// A name goes into the code unchanged and into the string quoted for the syntax: an apostrophe
// doubled in Crystal syntax, a double quote doubled in Basic syntax.
TEST(Composer, NamesGoInUnchangedInRowOrderQuotedInTheirStrings) {
    const QStringList names{QStringLiteral("{@O'Brien}"), QStringLiteral("{Data.Rate%2}"), QStringLiteral("%1")};
    EXPECT_EQ(ComposeCommands(Template(1), names, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendObject('{@O''Brien}', ToText({@O'Brien}), RecordNumber);\r\n"
                             "DebugSendObject('{Data.Rate%2}', ToText({Data.Rate%2}), RecordNumber);\r\n"
                             "DebugSendObject('%1', ToText(%1), RecordNumber);\r\n"));
    // Every occurrence of a placeholder is replaced, case-sensitively.
    EXPECT_EQ(ComposeCommands(QStringLiteral("F(%1, %1, %2)"), {QStringLiteral("n")}, FormulaSyntax::Crystal),
              QStringLiteral("F('n', 'n', ToText(n));\r\n"));
}

TEST(Composer, QuotesInNamesKeepTheStringWhole) {
    const QStringList names{QStringLiteral("{@Say \"hi\" O'Neil}")};
    EXPECT_EQ(ComposeCommands(Template(2), names, FormulaSyntax::Crystal),
              QStringLiteral("DebugSendMsgEx('{@Say \"hi\" O''Neil} = ' + ToText({@Say \"hi\" O'Neil}), RecordNumber);\r\n"));
    EXPECT_EQ(ComposeCommands(Template(2), names, FormulaSyntax::Basic, kBasicDeclaration),
              QStringLiteral("traceResult = DebugSendMsgEx(\"{@Say \"\"hi\"\" O'Neil} = \" + ToText({@Say \"hi\" O'Neil}), "
                             "RecordNumber)\r\n"));
}
