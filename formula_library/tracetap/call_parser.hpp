// Formula calls as the report engine presents the functions, one per line:
//   DebugSendMsgEx("hello", 42)   DebugSendObject('Total', '100', 7);   DebugAddCheckPoint()
// Names ignore letter case; strings are '...' or "..." with the quote doubled inside; numbers
// are whole 32-bit numbers (a fraction of zeros is allowed); a ';' and a // comment may follow.
// Blank lines and lines holding only a // comment carry no call.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tw::formula {

enum class ArgKind { Text, Number };

struct CallArgument {
    ArgKind kind = ArgKind::Text;
    std::string text;          // UTF-8, as written, quotes removed
    std::int32_t number = 0;
};

struct FormulaCall;

// One formula function: its name, parameter kinds and how to run it.
struct FormulaFunction {
    std::string_view name;
    std::vector<ArgKind> parameters;
    std::vector<std::string_view> parameterNames;
    void (*run)(const FormulaCall& call);
};

struct FormulaCall {
    const FormulaFunction* function = nullptr;
    std::vector<CallArgument> arguments;
};

// Every function the command knows, in the order of the library's classes.
std::span<const FormulaFunction> FormulaFunctions();

enum class LineKind { Call, Nothing, Malformed };

// Parses one line. On Malformed, `error` says what is wrong (without the line number).
LineKind ParseCallLine(std::string_view line, FormulaCall& call, std::string& error);

// Runs a parsed call through the formula functions (text converted to the code page).
void RunCall(const FormulaCall& call);

// "DebugSendMsgEx(Message, RecordNumber)", for usage texts and errors.
std::string Signature(const FormulaFunction& function);

}  // namespace tw::formula
