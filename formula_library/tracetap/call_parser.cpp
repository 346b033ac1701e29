#include "call_parser.hpp"

#include "tw/formula_library/functions.hpp"
#include "tw/messaging/codepage.hpp"

#include <algorithm>
#include <cctype>
#include <limits>

namespace tw::formula {
namespace {

using messaging::Utf8ToCodePage;

const Send kSend;
const Enter kEnter;
const Exit kExit;
const Add kAdd;

std::string T(const FormulaCall& c, std::size_t i) { return Utf8ToCodePage(c.arguments[i].text); }
std::int32_t N(const FormulaCall& c, std::size_t i) { return c.arguments[i].number; }

constexpr ArgKind kT = ArgKind::Text;
constexpr ArgKind kN = ArgKind::Number;

const std::vector<FormulaFunction>& Table() {
    static const std::vector<FormulaFunction> table = {
        {"DebugSendMsg", {kT}, {"Message"}, [](const FormulaCall& c) { kSend.Msg(T(c, 0)); }},
        {"DebugSendMsgEx", {kT, kN}, {"Message", "RecordNumber"},
         [](const FormulaCall& c) { kSend.MsgEx(T(c, 0), N(c, 1)); }},
        {"DebugSendScratch", {kT, kN}, {"Message", "ID"},
         [](const FormulaCall& c) { kSend.Scratch(T(c, 0), N(c, 1)); }},
        {"DebugSendNote", {kT}, {"Message"}, [](const FormulaCall& c) { kSend.Note(T(c, 0)); }},
        {"DebugSendNoteEx", {kT, kN}, {"Message", "RecordNumber"},
         [](const FormulaCall& c) { kSend.NoteEx(T(c, 0), N(c, 1)); }},
        {"DebugSendError", {kT}, {"Message"}, [](const FormulaCall& c) { kSend.Error(T(c, 0)); }},
        {"DebugSendErrorEx", {kT, kN}, {"Message", "RecordNumber"},
         [](const FormulaCall& c) { kSend.ErrorEx(T(c, 0), N(c, 1)); }},
        {"DebugSendWarning", {kT}, {"Message"}, [](const FormulaCall& c) { kSend.Warning(T(c, 0)); }},
        {"DebugSendWarningEx", {kT, kN}, {"Message", "RecordNumber"},
         [](const FormulaCall& c) { kSend.WarningEx(T(c, 0), N(c, 1)); }},
        {"DebugSendObject", {kT, kT, kN}, {"ObjectName", "ObjectValue", "RecordNumber"},
         [](const FormulaCall& c) { kSend.Object(T(c, 0), T(c, 1), N(c, 2)); }},
        {"DebugEnterFormula", {kT, kN}, {"FormulaName", "RecordNumber"},
         [](const FormulaCall& c) { kEnter.Formula(T(c, 0), N(c, 1)); }},
        {"DebugEnterSubReport", {kT}, {"SubReportName"}, [](const FormulaCall& c) { kEnter.SubReport(T(c, 0)); }},
        {"DebugExitFormula", {}, {}, [](const FormulaCall&) { kExit.Formula(); }},
        {"DebugExitSubReport", {}, {}, [](const FormulaCall&) { kExit.SubReport(); }},
        {"DebugAddCheckPoint", {}, {}, [](const FormulaCall&) { kAdd.CheckPoint(); }},
    };
    return table;
}

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

const char* KindName(ArgKind kind) { return kind == ArgKind::Text ? "a text" : "a number"; }

// A cursor over one line.
class Scanner {
public:
    explicit Scanner(std::string_view text) : m_text(text) {}
    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r')) ++m_pos;
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    bool StartsComment() const { return m_text.substr(m_pos, 2) == "//"; }
    std::string_view Rest() const { return m_text.substr(std::min(m_pos, m_text.size())); }
    std::size_t Column() const { return m_pos + 1; }
    void Advance(std::size_t n = 1) { m_pos += n; }
    std::string_view Name() {
        const std::size_t start = m_pos;
        while (!AtEnd() && IsNameChar(m_text[m_pos])) ++m_pos;
        return m_text.substr(start, m_pos - start);
    }
    // A quoted string starting at the current quote; false when it never closes.
    bool Quoted(std::string& out) {
        const char quote = m_text[m_pos++];
        while (!AtEnd()) {
            const char c = m_text[m_pos++];
            if (c != quote) {
                out += c;
            } else if (Peek() == quote) {
                out += quote;
                ++m_pos;
            } else {
                return true;
            }
        }
        return false;
    }
    std::string_view NumberToken() {
        const std::size_t start = m_pos;
        if (Peek() == '-' || Peek() == '+') ++m_pos;
        while (!AtEnd() && (std::isdigit(static_cast<unsigned char>(Peek())) || Peek() == '.')) ++m_pos;
        return m_text.substr(start, m_pos - start);
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// Whole number with an optional sign and an optional fraction of zeros ("42", "-7", "42.00").
bool ParseNumber(std::string_view token, std::int32_t& out, std::string& error) {
    std::string_view digits = token;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (const auto dot = digits.find('.'); dot != std::string_view::npos) {
        const std::string_view fraction = digits.substr(dot + 1);
        if (fraction.find_first_not_of('0') != std::string_view::npos) {
            error = "'" + std::string(token) + "' is not a whole number";
            return false;
        }
        digits = digits.substr(0, dot);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        error = "'" + std::string(token) + "' is not a number";
        return false;
    }
    std::int64_t value = 0;
    for (char c : digits) {
        value = value * 10 + (c - '0');
        if (value > static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1) break;
    }
    if (negative) value = -value;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        error = "'" + std::string(token) + "' does not fit a 32-bit number";
        return false;
    }
    out = static_cast<std::int32_t>(value);
    return true;
}

}  // namespace

std::span<const FormulaFunction> FormulaFunctions() { return Table(); }

std::string Signature(const FormulaFunction& function) {
    std::string s(function.name);
    s += '(';
    for (std::size_t i = 0; i < function.parameterNames.size(); ++i) {
        if (i) s += ", ";
        s += function.parameterNames[i];
    }
    s += ')';
    return s;
}

LineKind ParseCallLine(std::string_view line, FormulaCall& call, std::string& error) {
    call = {};
    Scanner in(line);
    in.SkipBlanks();
    if (in.AtEnd() || in.StartsComment()) return LineKind::Nothing;

    auto fail = [&](std::string why) {
        error = std::move(why);
        return LineKind::Malformed;
    };
    const std::size_t nameColumn = in.Column();
    const std::string_view name = in.Name();
    if (name.empty()) {
        return fail("expected a function name at column " + std::to_string(nameColumn) + ", found '" +
                    std::string(in.Rest().substr(0, 20)) + "'");
    }
    const auto& table = Table();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [&](const FormulaFunction& f) { return EqualNoCase(f.name, name); });
    if (it == table.end()) return fail("unknown function '" + std::string(name) + "'");
    const FormulaFunction& fn = *it;

    in.SkipBlanks();
    if (in.Peek() != '(') return fail("expected '(' after " + std::string(fn.name));
    in.Advance();
    in.SkipBlanks();
    std::vector<CallArgument> args;
    if (in.Peek() == ')') {
        in.Advance();
    } else {
        for (;;) {
            in.SkipBlanks();
            CallArgument arg;
            const std::size_t column = in.Column();
            const char c = in.Peek();
            if (c == '"' || c == '\'') {
                if (!in.Quoted(arg.text)) {
                    return fail("text starting at column " + std::to_string(column) + " has no closing " + c);
                }
            } else if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
                arg.kind = ArgKind::Number;
                std::string why;
                if (!ParseNumber(in.NumberToken(), arg.number, why)) {
                    return fail("argument " + std::to_string(args.size() + 1) + " of " + std::string(fn.name) + ": " + why);
                }
            } else if (in.AtEnd()) {
                return fail("the call ends before its closing ')'");
            } else {
                return fail("argument " + std::to_string(args.size() + 1) + " of " + std::string(fn.name) +
                            " at column " + std::to_string(column) + " is neither a quoted text nor a number");
            }
            args.push_back(std::move(arg));
            in.SkipBlanks();
            if (in.Peek() == ',') {
                in.Advance();
                continue;
            }
            if (in.Peek() == ')') {
                in.Advance();
                break;
            }
            if (in.AtEnd()) return fail("the call ends before its closing ')'");
            return fail("expected ',' or ')' at column " + std::to_string(in.Column()));
        }
    }
    in.SkipBlanks();
    if (in.Peek() == ';') {
        in.Advance();
        in.SkipBlanks();
    }
    if (!in.AtEnd() && !in.StartsComment()) {
        return fail("unexpected text after the call at column " + std::to_string(in.Column()));
    }

    if (args.size() != fn.parameters.size()) {
        return fail(std::string(fn.name) + " takes " + std::to_string(fn.parameters.size()) + " argument" +
                    (fn.parameters.size() == 1 ? "" : "s") + ", " + std::to_string(args.size()) +
                    " given: " + Signature(fn));
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].kind != fn.parameters[i]) {
            return fail("argument " + std::to_string(i + 1) + " (" + std::string(fn.parameterNames[i]) + ") of " +
                        std::string(fn.name) + " must be " + KindName(fn.parameters[i]));
        }
    }
    call.function = &fn;
    call.arguments = std::move(args);
    return LineKind::Call;
}

void RunCall(const FormulaCall& call) {
    if (call.function) call.function->run(call);
}

}  // namespace tw::formula
