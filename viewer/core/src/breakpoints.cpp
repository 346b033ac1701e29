#include "tw/core/breakpoints.hpp"

#include "tw/messaging/codepage.hpp"

#include <algorithm>
#include <array>
#include <charconv>

namespace tw::viewer {
namespace {

using tw::messaging::EnumMessageType;

constexpr std::string_view kOperators[] = {"=", "<", "<=", ">", ">=", "<>", "Like"};

bool Is(int type, EnumMessageType t) { return type == static_cast<int>(t); }
bool Enters(int type) { return Is(type, EnumMessageType::EnterFormula) || Is(type, EnumMessageType::EnterSubReport); }
bool Exits(int type) { return Is(type, EnumMessageType::ExitFormula) || Is(type, EnumMessageType::ExitSubReport); }

// Upper case of every Windows-1252 byte: ASCII letters, the accented letters, and the four
// lower-case letters whose capitals sit elsewhere in the code page.
const std::array<unsigned char, 256>& UpperTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (int b = 0; b < 256; ++b) t[std::size_t(b)] = static_cast<unsigned char>(b);
        for (int b = 'a'; b <= 'z'; ++b) t[std::size_t(b)] = static_cast<unsigned char>(b - 32);
        for (int b = 0xE0; b <= 0xFE; ++b)
            if (b != 0xF7) t[std::size_t(b)] = static_cast<unsigned char>(b - 32);
        t[0x9A] = 0x8A;  // s caron
        t[0x9C] = 0x8C;  // oe
        t[0x9E] = 0x8E;  // z caron
        t[0xFF] = 0x9F;  // y diaeresis
        return t;
    }();
    return table;
}

std::string Upper(std::string_view bytes) {
    const auto& up = UpperTable();
    std::string out(bytes);
    for (char& c : out) c = static_cast<char>(up[static_cast<unsigned char>(c)]);
    return out;
}

void UpperInto(std::string& out, std::string_view bytes) {
    const auto& up = UpperTable();
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) out[i] = static_cast<char>(up[static_cast<unsigned char>(bytes[i])]);
}

// Orders two code-page texts by the Unicode values of their characters, as texts compare in
// the watch pane; a prefix sorts first.
int Compare(std::string_view a, std::string_view b) {
    const auto& chars = tw::messaging::CodePageCharacters();
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = chars[static_cast<unsigned char>(a[i])];
        const char16_t y = chars[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// Checks a wildcard pattern (code-page bytes): "*" any run, "?" one character, "[...]" one
// of a set of characters and ranges ("[!...]" one not in it; a "]" first in the set is one
// of its characters). Returns the reason it is no pattern, or empty.
std::string PatternError(std::string_view p) {
    if (p.empty()) return "The name pattern is empty.";
    for (std::size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '[') continue;
        const std::size_t open = i;
        std::size_t j = i + 1;
        if (j < p.size() && p[j] == '!') ++j;
        if (j < p.size() && p[j] == ']') ++j;
        for (; j < p.size() && p[j] != ']'; ++j) {
            if (j + 2 < p.size() && p[j + 1] == '-' && p[j + 2] != ']') {
                if (static_cast<unsigned char>(p[j]) > static_cast<unsigned char>(p[j + 2]))
                    return "The range \"" + std::string(p.substr(j, 3)) + "\" in the pattern runs backwards.";
                j += 2;
            }
        }
        if (j >= p.size())
            return "The \"[\" at position " + std::to_string(open + 1) + " of the pattern is not closed by \"]\".";
        i = j;
    }
    return {};
}

// Whether one character is in the set that starts after the "[" at p[i]; sets i past its "]".
bool InSet(std::string_view p, std::size_t& i, unsigned char c) {
    bool negate = false;
    if (i < p.size() && p[i] == '!') {
        negate = true;
        ++i;
    }
    bool in = false;
    bool first = true;
    for (; i < p.size() && (p[i] != ']' || first); ++i, first = false) {
        const auto lo = static_cast<unsigned char>(p[i]);
        if (i + 2 < p.size() && p[i + 1] == '-' && p[i + 2] != ']') {
            if (c >= lo && c <= static_cast<unsigned char>(p[i + 2])) in = true;
            i += 2;
        } else if (c == lo) {
            in = true;
        }
    }
    ++i;  // past "]"
    return in != negate;
}

// Whole-text wildcard match of an upper-cased, checked pattern against an upper-cased text.
bool WildcardMatch(std::string_view p, std::string_view t) {
    std::size_t pi = 0, ti = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == '*') {
            starP = ++pi;
            starT = ti;
            continue;
        }
        if (pi < p.size()) {
            std::size_t next = pi + 1;
            bool ok;
            if (p[pi] == '?') {
                ok = true;
            } else if (p[pi] == '[') {
                ok = InSet(p, next, static_cast<unsigned char>(t[ti]));
            } else {
                ok = p[pi] == t[ti];
            }
            if (ok) {
                pi = next;
                ++ti;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        pi = starP;
        ti = ++starT;
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

bool ParseNumber(std::string_view s, std::int32_t& out) {
    s = Trim(s);
    if (s.empty()) return false;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

// "123", "-5", "100-200" (blanks allowed around the dash).
bool ParseRecords(std::string_view s, std::int32_t& first, std::int32_t& last) {
    s = Trim(s);
    const std::size_t dash = s.find('-', 1);
    if (dash == std::string_view::npos) {
        if (!ParseNumber(s, first)) return false;
        last = first;
        return true;
    }
    return ParseNumber(s.substr(0, dash), first) && ParseNumber(s.substr(dash + 1), last) && first <= last;
}

std::string Utf8(std::string_view bytes) { return tw::messaging::CodePageToUtf8(bytes); }

// A message's text for the reason of a hit: at most 60 characters.
std::string Excerpt(std::string_view bytes) {
    if (bytes.size() <= 60) return Utf8(bytes);
    return Utf8(bytes.substr(0, 57)) + "...";
}

}  // namespace

std::string Breakpoint::Text() const {
    switch (kind) {
        case BreakpointKind::Watch: return "watch " + name + " " + op + " " + value;
        case BreakpointKind::Entry: return "entering " + name;
        case BreakpointKind::Error: return "every error";
        case BreakpointKind::Warning: return "every warning";
        case BreakpointKind::Record: return "record " + name;
    }
    return {};
}

std::optional<Breakpoint> Breakpoints::Make(BreakpointKind kind, std::string_view name, std::string_view op,
                                            std::string_view value, std::string* why) {
    auto fail = [&](std::string reason) -> std::optional<Breakpoint> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    Breakpoint b;
    b.kind = kind;
    switch (kind) {
        case BreakpointKind::Watch:
            if (Trim(name).empty()) return fail("A watch breakpoint needs an object name.");
            if (Trim(value).empty()) return fail("A watch breakpoint needs a value.");
            if (std::find(std::begin(kOperators), std::end(kOperators), op) == std::end(kOperators))
                return fail("\"" + std::string(op) + "\" is no operator of a watch.");
            b.name = name;
            b.op = op;
            b.value = value;
            break;
        case BreakpointKind::Entry: {
            const std::string pattern(Trim(name));
            std::string error = PatternError(tw::messaging::Utf8ToCodePage(pattern));
            if (!error.empty()) return fail(std::move(error));
            b.name = pattern;
            break;
        }
        case BreakpointKind::Record: {
            std::int32_t first = 0, last = 0;
            if (!ParseRecords(name, first, last))
                return fail("\"" + std::string(Trim(name)) +
                            "\" is no record number. Give a number (123) or a range of them (100-200).");
            b.name = first == last ? std::to_string(first) : std::to_string(first) + "-" + std::to_string(last);
            break;
        }
        case BreakpointKind::Error:
        case BreakpointKind::Warning: break;
    }
    return b;
}

void Breakpoints::Add(Breakpoint breakpoint) {
    m_list.push_back(std::move(breakpoint));
    Rearm();
}

void Breakpoints::Remove(std::size_t index) {
    if (index >= m_list.size()) return;
    m_list.erase(m_list.begin() + std::ptrdiff_t(index));
    Rearm();
}

void Breakpoints::SetEnabled(std::size_t index, bool enabled) {
    if (index >= m_list.size()) return;
    m_list[index].enabled = enabled;
    Rearm();
}

void Breakpoints::Clear() {
    m_list.clear();
    Rearm();
}

void Breakpoints::PauseOnNextCall() {
    m_nextCall = true;
    Rearm();
}

void Breakpoints::StepOut() {
    m_stepOut = true;
    m_entered = 0;
    Rearm();
}

void Breakpoints::CancelSteps() {
    m_nextCall = false;
    m_stepOut = false;
    Rearm();
}

void Breakpoints::Rearm() {
    m_compiled.clear();
    m_compiled.reserve(m_list.size());
    bool any = false;
    for (const Breakpoint& b : m_list) {
        Compiled c;
        switch (b.kind) {
            case BreakpointKind::Watch:
                c.name = Upper(tw::messaging::Utf8ToCodePage(b.name));
                c.value = Upper(tw::messaging::Utf8ToCodePage(b.value));
                c.op = int(std::find(std::begin(kOperators), std::end(kOperators), b.op) - std::begin(kOperators));
                break;
            case BreakpointKind::Entry: c.name = Upper(tw::messaging::Utf8ToCodePage(b.name)); break;
            case BreakpointKind::Record: ParseRecords(b.name, c.first, c.last); break;
            case BreakpointKind::Error:
            case BreakpointKind::Warning: break;
        }
        m_compiled.push_back(std::move(c));
        any = any || b.enabled;
    }
    m_armed = any || m_nextCall || m_stepOut;
}

bool Breakpoints::Matches(const Breakpoint& b, const Compiled& c, const tw::messaging::EnvelopeView& m) {
    switch (b.kind) {
        case BreakpointKind::Watch: {
            if (!Is(m.type, EnumMessageType::SendObject) || m.objectName.size() != c.name.size()) return false;
            const auto& up = UpperTable();
            for (std::size_t i = 0; i < c.name.size(); ++i)
                if (up[static_cast<unsigned char>(m.objectName[i])] != static_cast<unsigned char>(c.name[i])) return false;
            UpperInto(m_upperValue, m.objectValue);
            const std::string_view v = m_upperValue;
            switch (c.op) {
                case 0: return v == c.value;
                case 1: return Compare(v, c.value) < 0;
                case 2: return Compare(v, c.value) <= 0;
                case 3: return Compare(v, c.value) > 0;
                case 4: return Compare(v, c.value) >= 0;
                case 5: return v != c.value;
                case 6: return v.find(c.value) != std::string_view::npos;  // a plain substring
                default: return false;
            }
        }
        case BreakpointKind::Entry:
            if (!Enters(m.type)) return false;
            UpperInto(m_upperValue, m.message);
            return WildcardMatch(c.name, m_upperValue);
        case BreakpointKind::Error: return Is(m.type, EnumMessageType::SendError);
        case BreakpointKind::Warning: return Is(m.type, EnumMessageType::SendWarning);
        case BreakpointKind::Record: return m.recordNumber >= c.first && m.recordNumber <= c.last;
    }
    return false;
}

std::optional<BreakpointHit> Breakpoints::Check(const tw::messaging::EnvelopeView& m) {
    if (!m_armed) return std::nullopt;
    std::optional<BreakpointHit> hit;
    if (m_stepOut) {
        if (Enters(m.type)) ++m_entered;
        if (Exits(m.type) && m_entered-- == 0)
            hit = BreakpointHit{-1, Is(m.type, EnumMessageType::ExitSubReport) ? "exit of the subreport"
                                                                               : "exit of the formula"};
    }
    for (std::size_t i = 0; !hit && i < m_list.size(); ++i) {
        const Breakpoint& b = m_list[i];
        if (!b.enabled || !Matches(b, m_compiled[i], m)) continue;
        BreakpointHit h{int(i), {}};
        switch (b.kind) {
            case BreakpointKind::Watch: h.reason = b.Text() + " caught " + Utf8(m.objectValue); break;
            case BreakpointKind::Entry: h.reason = "entering " + Utf8(m.message); break;
            case BreakpointKind::Error: h.reason = "error: " + Excerpt(m.message); break;
            case BreakpointKind::Warning: h.reason = "warning: " + Excerpt(m.message); break;
            case BreakpointKind::Record: h.reason = "record " + std::to_string(m.recordNumber); break;
        }
        hit = std::move(h);
    }
    if (!hit && m_nextCall) hit = BreakpointHit{-1, "next call"};
    if (hit) CancelSteps();
    return hit;
}

}  // namespace tw::viewer
