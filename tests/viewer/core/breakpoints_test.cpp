#include "tw/core/breakpoints.hpp"

#include <gtest/gtest.h>

using tw::messaging::EnvelopeView;
using tw::viewer::Breakpoint;
using tw::viewer::BreakpointKind;
using tw::viewer::Breakpoints;

namespace {

EnvelopeView Object(std::string_view name, std::string_view value, std::int32_t record = 1) {
    return {4, record, name, value, {}};
}
EnvelopeView Typed(int type, std::string_view message = {}, std::int32_t record = 0) {
    return {type, record, {}, {}, message};
}

Breakpoint Make(BreakpointKind kind, std::string_view name = {}, std::string_view op = {}, std::string_view value = {}) {
    std::string why;
    auto b = Breakpoints::Make(kind, name, op, value, &why);
    EXPECT_TRUE(b) << why;
    return b.value_or(Breakpoint{});
}

// Watch breakpoints compare as watches do: names and values upper-cased, values as text.
TEST(BreakpointsTest, WatchConditionComparesAsAWatchDoes) {
    Breakpoints set;
    EXPECT_FALSE(set.Armed());
    EXPECT_FALSE(set.Check(Object("Total", "-1")));
    set.Add(Make(BreakpointKind::Watch, "Total", "<", "0"));
    EXPECT_TRUE(set.Armed());
    const auto hit = set.Check(Object("TOTAL", "-12.50", 123));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->index, 0);
    EXPECT_EQ(hit->reason, "watch Total < 0 caught -12.50");
    EXPECT_FALSE(set.Check(Object("Total", "5")));
    EXPECT_FALSE(set.Check(Object("Totals", "-1")));
    EXPECT_FALSE(set.Check(Typed(0, "Total = -1")));  // only object messages

    Breakpoints like;
    like.Add(Make(BreakpointKind::Watch, "name", "Like", "\xc3\xa9t\xc3\xa9"));  // "été" in UTF-8
    EXPECT_TRUE(like.Check(Object("NAME", "l'\xc9T\xc9")));                     // "l'ÉTÉ", code page
    Breakpoints order;
    order.Add(Make(BreakpointKind::Watch, "n", ">", "100"));
    EXPECT_TRUE(order.Check(Object("n", "99")));  // "99" sorts after "100"
    EXPECT_FALSE(order.Check(Object("n", "0999")));
}

TEST(BreakpointsTest, EntryPatternsKindsRecordsAndTheEnabledFlag) {
    Breakpoints set;
    set.Add(Make(BreakpointKind::Entry, " {@Run*} "));
    set.Add(Make(BreakpointKind::Entry, "Sub[0-9]?"));
    set.Add(Make(BreakpointKind::Record, "100 - 200"));
    EXPECT_EQ(set.List()[0].Text(), "entering {@Run*}");
    EXPECT_EQ(set.List()[2].Text(), "record 100-200");
    const auto formula = set.Check(Typed(6, "{@runningTotal}"));
    ASSERT_TRUE(formula);
    EXPECT_EQ(formula->reason, "entering {@runningTotal}");
    EXPECT_TRUE(set.Check(Typed(8, "sub1x")));
    EXPECT_FALSE(set.Check(Typed(8, "subx1")));
    EXPECT_FALSE(set.Check(Typed(0, "{@RunningTotal}")));  // no entry
    EXPECT_FALSE(set.Check(Typed(6, "{@Total}")));
    EXPECT_EQ(set.Check(Typed(0, "x", 150))->index, 2);
    EXPECT_FALSE(set.Check(Typed(0, "x", 201)));

    set.SetEnabled(0, false);
    set.SetEnabled(1, false);
    set.SetEnabled(2, false);
    EXPECT_FALSE(set.Armed());
    EXPECT_FALSE(set.Check(Typed(6, "{@RunningTotal}")));
    set.Add(Make(BreakpointKind::Error));
    set.Add(Make(BreakpointKind::Warning));
    EXPECT_EQ(set.Check(Typed(2, "division by zero"))->reason, "error: division by zero");
    EXPECT_EQ(set.Check(Typed(3, "late"))->index, 4);
    EXPECT_FALSE(set.Check(Typed(1, "a note")));
    set.Remove(3);
    EXPECT_FALSE(set.Check(Typed(2, "e")));
}

TEST(BreakpointsTest, InputThatDoesNotParseIsRefusedWithAReason) {
    std::string why;
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Entry, "  ", {}, {}, &why));
    EXPECT_EQ(why, "The name pattern is empty.");
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Entry, "{@Total[", {}, {}, &why));
    EXPECT_EQ(why, "The \"[\" at position 8 of the pattern is not closed by \"]\".");
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Entry, "[z-a]", {}, {}, &why));
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Record, "12a", {}, {}, &why));
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Record, "200-100", {}, {}, &why));
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Watch, "Total", "==", "1", &why));
    EXPECT_FALSE(Breakpoints::Make(BreakpointKind::Watch, "Total", "<", " ", &why));
    EXPECT_TRUE(Breakpoints::Make(BreakpointKind::Entry, "[]x]"));  // "]" first is a character
    EXPECT_TRUE(Breakpoints::Make(BreakpointKind::Record, "-5"));
}

// Pause on Next Call hits once; Step Out hits at the exit that closes the paused message's
// formula, not at the exit of one called inside it.
TEST(BreakpointsTest, NextCallAndStepOut) {
    Breakpoints set;
    set.PauseOnNextCall();
    EXPECT_TRUE(set.Armed());
    EXPECT_EQ(set.Check(Typed(1, "n"))->reason, "next call");
    EXPECT_FALSE(set.Armed());

    set.StepOut();
    EXPECT_FALSE(set.Check(Typed(0, "m")));
    EXPECT_FALSE(set.Check(Typed(6, "{@In}")));
    EXPECT_FALSE(set.Check(Typed(8, "Sub")));
    EXPECT_FALSE(set.Check(Typed(9)));
    EXPECT_FALSE(set.Check(Typed(7)));
    const auto out = set.Check(Typed(7));
    ASSERT_TRUE(out);
    EXPECT_EQ(out->reason, "exit of the formula");
    EXPECT_FALSE(set.Armed());

    set.StepOut();
    set.CancelSteps();
    EXPECT_FALSE(set.Armed());
}

}  // namespace
