#include "call_parser.hpp"

#include <gtest/gtest.h>

#include <string>

using namespace tw::formula;

namespace {

FormulaCall Parse(std::string_view line) {
    FormulaCall call;
    std::string error;
    EXPECT_EQ(ParseCallLine(line, call, error), LineKind::Call) << line << ": " << error;
    return call;
}

std::string Error(std::string_view line) {
    FormulaCall call;
    std::string error;
    EXPECT_EQ(ParseCallLine(line, call, error), LineKind::Malformed) << line;
    return error;
}

TEST(CallParser, FormsTheReportEngineWrites) {
    auto c = Parse(R"(DebugSendMsgEx("hello", 42))");
    EXPECT_EQ(c.function->name, "DebugSendMsgEx");
    ASSERT_EQ(c.arguments.size(), 2u);
    EXPECT_EQ(c.arguments[0].text, "hello");
    EXPECT_EQ(c.arguments[1].number, 42);

    c = Parse("  debugsendobject( 'Total' ,'100',7 ) ;  // a comment");
    EXPECT_EQ(c.function->name, "DebugSendObject");
    EXPECT_EQ(c.arguments[0].text, "Total");
    EXPECT_EQ(c.arguments[1].text, "100");
    EXPECT_EQ(c.arguments[2].number, 7);

    EXPECT_TRUE(Parse("DebugAddCheckPoint()").arguments.empty());
    EXPECT_TRUE(Parse("DebugExitFormula ( )\r").arguments.empty());
    EXPECT_EQ(Parse("\tDEBUGENTERSUBREPORT('Orders')").function->name, "DebugEnterSubReport");
}

TEST(CallParser, QuotesAndNumbers) {
    EXPECT_EQ(Parse(R"(DebugSendMsg("say ""hi"" it's"))").arguments[0].text, R"(say "hi" it's)");
    EXPECT_EQ(Parse(R"(DebugSendMsg('it''s "x"'))").arguments[0].text, R"(it's "x")");
    EXPECT_EQ(Parse(R"(DebugSendMsg(''))").arguments[0].text, "");
    EXPECT_EQ(Parse(R"(DebugSendMsg("a, b) // c"))").arguments[0].text, "a, b) // c");
    EXPECT_EQ(Parse("DebugSendMsg('caf\xC3\xA9')").arguments[0].text, "caf\xC3\xA9");
    EXPECT_EQ(Parse("DebugSendMsgEx('m', -7)").arguments[1].number, -7);
    EXPECT_EQ(Parse("DebugSendMsgEx('m', +7)").arguments[1].number, 7);
    EXPECT_EQ(Parse("DebugSendMsgEx('m', 42.00)").arguments[1].number, 42);
    EXPECT_EQ(Parse("DebugSendMsgEx('m', 2147483647)").arguments[1].number, 2147483647);
    EXPECT_EQ(Parse("DebugSendMsgEx('m', -2147483648)").arguments[1].number, INT32_MIN);
}

TEST(CallParser, BlankAndCommentLinesCarryNoCall) {
    FormulaCall call;
    std::string error;
    EXPECT_EQ(ParseCallLine("", call, error), LineKind::Nothing);
    EXPECT_EQ(ParseCallLine("   \t\r", call, error), LineKind::Nothing);
    EXPECT_EQ(ParseCallLine("// DebugSendMsg(", call, error), LineKind::Nothing);
}

TEST(CallParser, MalformedCallsSayWhatIsWrong) {
    EXPECT_NE(Error("DebugSendMessage('x')").find("unknown function 'DebugSendMessage'"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg 'x'").find("expected '('"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg('x'").find("closing ')'"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg('x)").find("no closing '"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx('x')").find("takes 2 arguments, 1 given: DebugSendMsgEx(Message, RecordNumber)"),
              std::string::npos);
    EXPECT_NE(Error("DebugAddCheckPoint('x')").find("takes 0 arguments"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx(42, 'x')").find("argument 1 (Message) of DebugSendMsgEx must be a text"),
              std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx('x', 4.5)").find("not a whole number"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx('x', 2147483648)").find("32-bit"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx('x', -)").find("not a number"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsgEx('x', RecordNumber)").find("neither a quoted text nor a number"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg('a' + 'b')").find("expected ',' or ')'"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg('a') x").find("unexpected text after the call"), std::string::npos);
    EXPECT_NE(Error("(DebugSendMsg('a'))").find("expected a function name"), std::string::npos);
    EXPECT_NE(Error("DebugSendMsg('a',)").find("neither a quoted text nor a number"), std::string::npos);
}

TEST(CallParser, EveryFunctionIsKnownWithItsParameters) {
    EXPECT_EQ(FormulaFunctions().size(), 15u);
    for (const auto& f : FormulaFunctions()) {
        EXPECT_EQ(f.parameters.size(), f.parameterNames.size()) << f.name;
        EXPECT_EQ(f.name.substr(0, 5), "Debug");
    }
}

}  // namespace
