// The tracetap call parser on any line, and a written call parsed back.
#include "call_parser.hpp"
#include "fuzz_check.hpp"

#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>
#include <string_view>

namespace tf = tw::formula;

namespace {

// A string literal in the quote chosen, the quote doubled inside.
std::string Quote(const std::string& text, char quote) {
    std::string out(1, quote);
    for (char c : text) {
        out += c;
        if (c == quote) out += quote;
    }
    out += quote;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view raw(reinterpret_cast<const char*>(data), size);

    // 1. Any line: a call has a known function and arguments of its parameter kinds; a
    //    malformed line says why.
    {
        tf::FormulaCall call;
        std::string error;
        switch (tf::ParseCallLine(raw, call, error)) {
        case tf::LineKind::Call: {
            TW_FUZZ_CHECK(call.function != nullptr);
            TW_FUZZ_CHECK(call.arguments.size() == call.function->parameters.size());
            for (std::size_t i = 0; i < call.arguments.size(); ++i) {
                TW_FUZZ_CHECK(call.arguments[i].kind == call.function->parameters[i]);
            }
            break;
        }
        case tf::LineKind::Malformed:
            TW_FUZZ_CHECK(!error.empty());
            break;
        case tf::LineKind::Nothing:
            break;
        }
    }

    // 2. A call written from the input, with either quote, odd letter case and blanks,
    //    parses back to the same function and arguments.
    FuzzedDataProvider in(data, size);
    const auto functions = tf::FormulaFunctions();
    if (functions.empty()) return 0;
    const auto& function = functions[in.ConsumeIntegralInRange<std::size_t>(0, functions.size() - 1)];
    std::string name(function.name);
    for (char& c : name) {
        if (in.ConsumeBool()) c = static_cast<char>(c ^ 0x20 * ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'));
    }
    std::string line = name + (in.ConsumeBool() ? " (" : "(");
    std::vector<tf::CallArgument> expected;
    for (std::size_t i = 0; i < function.parameters.size(); ++i) {
        if (i > 0) line += in.ConsumeBool() ? ", " : ",";
        tf::CallArgument arg;
        arg.kind = function.parameters[i];
        if (arg.kind == tf::ArgKind::Number) {
            arg.number = in.ConsumeIntegral<std::int32_t>();
            line += std::to_string(arg.number);
        } else {
            // Printable ASCII: the command reads UTF-8 lines.
            std::string text = in.ConsumeRandomLengthString(80);
            for (char& c : text) c = static_cast<char>(' ' + static_cast<unsigned char>(c) % 95);
            arg.text = text;
            line += Quote(text, in.ConsumeBool() ? '"' : '\'');
        }
        expected.push_back(arg);
    }
    line += ")";
    if (in.ConsumeBool()) line += ";";
    if (in.ConsumeBool()) line += " // done";

    tf::FormulaCall call;
    std::string error;
    const auto kind = tf::ParseCallLine(line, call, error);
    if (kind != tf::LineKind::Call) std::fprintf(stderr, "line: %s\nerror: %s\n", line.c_str(), error.c_str());
    TW_FUZZ_CHECK(kind == tf::LineKind::Call);
    TW_FUZZ_CHECK(call.function == &function);
    TW_FUZZ_CHECK(call.arguments.size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        TW_FUZZ_CHECK(call.arguments[i].kind == expected[i].kind);
        if (expected[i].kind == tf::ArgKind::Number) {
            TW_FUZZ_CHECK(call.arguments[i].number == expected[i].number);
        } else {
            TW_FUZZ_CHECK(call.arguments[i].text == expected[i].text);
        }
    }
    return 0;
}
