#pragma once
// Breakpoints: which received message pauses the report. Plain C++: the receiving end asks
// Check for every message the store keeps, but only while Armed(), so a viewer without
// breakpoints pays one test of a flag a message.
//
// Texts given here are UTF-8 and are matched against the envelope's code-page bytes, letters
// compared without regard to case, as watches compare them.

#include "tw/messaging/envelope.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw::viewer {

enum class BreakpointKind {
    Watch,    // an object message that a watch's test catches: name, operator, value
    Entry,    // entering a formula or subreport whose name matches a pattern (* ? [a-z] [!0-9])
    Error,    // every error message
    Warning,  // every warning message
    Record,   // a message of a record number, or of a range of them: "123", "100-200"
};

struct Breakpoint {
    BreakpointKind kind = BreakpointKind::Error;
    bool enabled = true;
    std::string name;   // Watch: the object name; Entry: the pattern; Record: as typed
    std::string op;     // Watch: "=", "<", "<=", ">", ">=", "<>" or "Like"
    std::string value;  // Watch: the value compared with

    // "watch Total < 0", "entering {@Run*}", "every error", "every warning", "record 100-200".
    std::string Text() const;
};

// Why the report paused: the breakpoint (index into the list) or the step that caught the
// message, in words ("watch Total < 0 caught -12.50", "entering {@Total}", "next call").
struct BreakpointHit {
    int index = -1;  // -1: a step or Pause on Next Call
    std::string reason;
};

class Breakpoints {
public:
    // Checks the input of one breakpoint; nullopt with the reason in *why (a sentence to show
    // in the dialog) when it does not make one: an empty or unknown pattern, an unclosed "[",
    // a record number that is none, a watch without name or value or with an unknown operator.
    static std::optional<Breakpoint> Make(BreakpointKind kind, std::string_view name = {}, std::string_view op = {},
                                          std::string_view value = {}, std::string* why = nullptr);

    void Add(Breakpoint breakpoint);
    void Remove(std::size_t index);
    void SetEnabled(std::size_t index, bool enabled);
    void Clear();
    const std::vector<Breakpoint>& List() const { return m_list; }

    // Pauses at the next message, whatever it is (Pause on Next Call, and Step).
    void PauseOnNextCall();
    // Pauses at the exit that closes the formula or subreport the paused message was sent in,
    // or that it entered: the first exit that closes no entry made after the pause.
    void StepOut();
    // Forgets pending steps (Continue, Stop Messaging, Clear All).
    void CancelSteps();

    // Whether any message can hit: an enabled breakpoint or a pending step.
    bool Armed() const { return m_armed; }

    // Tests one message the store keeps (fields as the envelope reader cut them). A hit ends
    // pending steps.
    std::optional<BreakpointHit> Check(const tw::messaging::EnvelopeView& message);

private:
    // A breakpoint as Check uses it: texts in code-page bytes, upper-cased.
    struct Compiled {
        std::string name;   // Watch: object name; Entry: pattern
        std::string value;  // Watch: value
        int op = 0;         // Watch: index of the operator
        std::int32_t first = 0, last = 0;  // Record: the range
    };
    void Rearm();
    bool Matches(const Breakpoint& b, const Compiled& c, const tw::messaging::EnvelopeView& m);

    std::vector<Breakpoint> m_list;
    std::vector<Compiled> m_compiled;  // code-page, upper-cased forms of m_list, same order
    bool m_armed = false;
    bool m_nextCall = false;
    bool m_stepOut = false;
    int m_entered = 0;          // entries since the step began, not yet closed
    std::string m_upperValue;   // room reused for the value of the message being tested
};

}  // namespace tw::viewer
