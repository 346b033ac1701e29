#include "tw/builder/scanner.hpp"

#include "tw/builder/strings.hpp"

#include <gtest/gtest.h>

using namespace tw::builder;

namespace {

QStringList L(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* s : items) out << QString::fromUtf8(s);
    return out;
}

std::vector<ObjectRow> Scan(const QString& text, const QString& formula = QStringLiteral("{@F}")) {
    std::vector<ObjectRow> rows;
    const QStringList lines = SplitLines(text);
    ScanFormulaVariables(formula, &lines, rows);
    return rows;
}

ObjectRow Row(const char* name, const char* type, const char* scope, const char* formula = "{@F}") {
    return {QString::fromUtf8(name), icons::kVariable, L({formula, type, scope})};
}

}  // namespace

TEST(Strings, CharacterClassesAreAsciiOnly) {
    EXPECT_TRUE(IsAlpha(QLatin1Char('A')) && IsAlpha(QLatin1Char('z')));
    EXPECT_FALSE(IsAlpha(QLatin1Char('5')) || IsAlpha(QLatin1Char('_')) || IsAlpha(QLatin1Char('@')));
    EXPECT_FALSE(IsAlpha(QChar(0xE9)));  // é is no letter here
    EXPECT_TRUE(IsAlphaNumeric(QLatin1Char('0')) && IsAlphaNumeric(QLatin1Char('9')));
    EXPECT_FALSE(IsAlphaNumeric(QLatin1Char('[')) || IsAlphaNumeric(QLatin1Char('`')));
}

TEST(Strings, SplitLines) {
    EXPECT_EQ(SplitLines(QString()), QStringList());
    EXPECT_EQ(SplitLines(QStringLiteral("one")), L({"one"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb")), L({"a", "b"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n")), L({"a", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\n\r\nb")), L({"a", "", "b"}));
    // A bare LF is no line end; the character after a CR is dropped whatever it is.
    EXPECT_EQ(SplitLines(QStringLiteral("a\nb")), L({"a\nb"}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\rb")), L({"a", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\rbc\r\nd")), L({"a", "c", "d"}));
}

TEST(Strings, SplitLinesWithTrailingCarriageReturn) {
    // A text ending in a lone CR splits like one ending in CR LF.
    EXPECT_EQ(SplitLines(QStringLiteral("a\r")), L({"a", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("\r")), L({"", ""}));
    EXPECT_EQ(SplitLines(QStringLiteral("a\r\nb\r")), L({"a", "b", ""}));
    EXPECT_EQ(Scan(QStringLiteral("NumberVar x;\r")), std::vector<ObjectRow>{Row("x", "NumberVar", "Global")});
}

TEST(Strings, Tokenize) {
    EXPECT_EQ(Tokenize(QStringLiteral("NumberVar x:=5;")), L({"NumberVar", "x", ":", "=", "5", ";"}));
    EXPECT_EQ(Tokenize(QStringLiteral("// note")), L({"/", "/", "note"}));
    EXPECT_EQ(Tokenize(QStringLiteral("   ")), QStringList());
    // Underscores continue a word but do not start one; tabs and quotes are tokens of their own.
    EXPECT_EQ(Tokenize(QStringLiteral("  a_b1 _x\t'q' ")), L({"a_b1", "_", "x", "\t", "'", "q", "'"}));
    EXPECT_EQ(Tokenize(QStringLiteral("{@Title}+{Data.No}")),
              L({"{", "@", "Title", "}", "+", "{", "Data", ".", "No", "}"}));
    EXPECT_EQ(Tokenize(QStringLiteral("9lives")), L({"9lives"}));
}

TEST(Strings, ReadWordAndTokenAfter) {
    int pos = 3;
    EXPECT_EQ(ReadWord(QStringLiteral("x abc_1+y"), pos), QStringLiteral("abc_1"));
    EXPECT_EQ(pos, 7);
    pos = 1;
    EXPECT_EQ(ReadWord(QStringLiteral("z"), pos), QStringLiteral("z"));
    EXPECT_EQ(pos, 1);

    const QStringList tokens = L({"a", "b"});
    EXPECT_EQ(TokenAfter(tokens, 1), QStringLiteral("b"));
    EXPECT_EQ(TokenAfter(tokens, 2), QString());
    EXPECT_EQ(TokenAfter(tokens, 0), QStringLiteral("a"));
}

TEST(Scanner, ScopeTypeAndArray) {
    EXPECT_EQ(Scan(QStringLiteral("Local NumberVar Array totals := 0;")),
              std::vector<ObjectRow>{Row("totals", "NumberVar", "Local")});
    EXPECT_EQ(Scan(QStringLiteral("numbervar array x;")), std::vector<ObjectRow>{Row("x", "numbervar", "Global")});
    EXPECT_EQ(Scan(QStringLiteral("shared stringVar s; Global DateVar d; TimeVar t; CurrencyVar c")),
              (std::vector<ObjectRow>{Row("s", "stringVar", "shared"), Row("d", "DateVar", "Global"),
                                      Row("t", "TimeVar", "Global"), Row("c", "CurrencyVar", "Global")}));
}

TEST(Scanner, ScopeResetsAtSemicolonAndAtEachLine) {
    EXPECT_EQ(Scan(QStringLiteral("StringVar s; Shared CurrencyVar c;")),
              (std::vector<ObjectRow>{Row("s", "StringVar", "Global"), Row("c", "CurrencyVar", "Shared")}));
    EXPECT_EQ(Scan(QStringLiteral("Shared; NumberVar n")), std::vector<ObjectRow>{Row("n", "NumberVar", "Global")});
    EXPECT_EQ(Scan(QStringLiteral("Local\r\nNumberVar n;")), std::vector<ObjectRow>{Row("n", "NumberVar", "Global")});
    // A scope applies to one declaration only; the declared name is looked at again as a token.
    EXPECT_EQ(Scan(QStringLiteral("Local NumberVar a := 1, NumberVar b")),
              (std::vector<ObjectRow>{Row("a", "NumberVar", "Local"), Row("b", "NumberVar", "Global")}));
    EXPECT_EQ(Scan(QStringLiteral("NumberVar Local NumberVar z")),
              (std::vector<ObjectRow>{Row("Local", "NumberVar", "Global"), Row("z", "NumberVar", "Local")}));
}

TEST(Scanner, CommentsAndSlashes) {
    EXPECT_TRUE(Scan(QStringLiteral("// NumberVar hidden;")).empty());
    EXPECT_TRUE(Scan(QStringLiteral("  //NumberVar hidden;")).empty());
    EXPECT_EQ(Scan(QStringLiteral("x := 10 / 2; DateVar d")), std::vector<ObjectRow>{Row("d", "DateVar", "Global")});
    EXPECT_EQ(Scan(QStringLiteral("NumberVar a; // NumberVar b")), std::vector<ObjectRow>{Row("a", "NumberVar", "Global")});
    EXPECT_EQ(Scan(QStringLiteral("x := 1 / / 2; StringVar s")), std::vector<ObjectRow>{});  // "/ /" tokenizes as two slashes
    EXPECT_EQ(Scan(QStringLiteral("// a comment\r\nStringVar next")), std::vector<ObjectRow>{Row("next", "StringVar", "Global")});
}

TEST(Scanner, KeywordAtLineEndAndInsideQuotes) {
    EXPECT_EQ(Scan(QStringLiteral("Shared NumberVar\r\ncounter := 0;")),
              std::vector<ObjectRow>{Row("", "NumberVar", "Shared")});
    EXPECT_EQ(Scan(QStringLiteral("NumberVar Array")), std::vector<ObjectRow>{Row("", "NumberVar", "Global")});
    EXPECT_EQ(Scan(QStringLiteral("'use a StringVar here'")), std::vector<ObjectRow>{Row("here", "StringVar", "Global")});
    // Basic syntax declarations ("Dim x As Number") are not found.
    EXPECT_TRUE(Scan(QStringLiteral("Dim x As Number")).empty());
    EXPECT_TRUE(Scan(QStringLiteral("NumberVarX := 1; myStringVar")).empty());
}

TEST(Scanner, OneRowPerDeclaration) {
    std::vector<ObjectRow> rows;
    for (const char* formula : {"{@A}", "{@B}", "{@C}"}) {
        const QStringList lines = SplitLines(QStringLiteral("NumberVar total;\r\ntotal := total + 1;\r\nNumberVar total"));
        ScanFormulaVariables(QString::fromUtf8(formula), &lines, rows);
    }
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0], Row("total", "NumberVar", "Global", "{@A}"));
    EXPECT_EQ(rows[5], Row("total", "NumberVar", "Global", "{@C}"));

    ScanFormulaVariables(QStringLiteral("{@D}"), nullptr, rows);  // an absent list is skipped
    const QStringList none = SplitLines(QString());
    ScanFormulaVariables(QStringLiteral("{@E}"), &none, rows);
    EXPECT_EQ(rows.size(), 6u);
}
