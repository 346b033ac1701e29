#include "tw/core/trace_diff.hpp"

#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

DiffMessage M(int type, int record, const char* text) { return {type, record, text}; }

// The lines of the hunks as "-text"/"+text"/" text".
std::vector<std::string> Lines(const DiffResult& r, const std::vector<DiffMessage>& a,
                               const std::vector<DiffMessage>& b) {
    std::vector<std::string> out;
    for (const auto& h : r.hunks)
        for (const auto& l : h.lines)
            out.push_back(l.kind + (l.kind == '+' ? b[std::size_t(l.b)] : a[std::size_t(l.a)]).text);
    return out;
}

// {@Total} calls {@Tax} per record; B leaves a message out of record 1's {@Tax}, changes an
// object's value in record 2, and adds a whole {@Discount} call in record 3. Nothing after a
// difference is shifted.
TEST(TraceDiff, CallsAreMatchedFirstAndOnlyTheirDifferencesShow) {
    std::vector<DiffMessage> a, b;
    for (int r = 1; r <= 3; ++r) {
        for (auto* run : {&a, &b}) {
            run->push_back(M(6, r, "{@Total}"));
            run->push_back(M(6, r, "{@Tax}"));
            if (!(run == &b && r == 1)) run->push_back(M(0, r, "rate looked up"));
            run->push_back(M(4, r, run == &b && r == 2 ? "Tax = 19.01" : "Tax = 19.00"));
            run->push_back(M(7, 0, ""));
            if (run == &b && r == 3) {
                run->push_back(M(6, r, "{@Discount}"));
                run->push_back(M(4, r, "Discount = 5%"));
                run->push_back(M(7, 0, ""));
            }
            run->push_back(M(7, 0, ""));
        }
    }
    const DiffResult r = CompareRuns(a, b, {false, 0, 4000});
    EXPECT_FALSE(r.Same());
    EXPECT_EQ(r.onlyA, 2u);  // the message left out, the old value
    EXPECT_EQ(r.onlyB, 4u);  // the new value, the {@Discount} call's three lines
    EXPECT_EQ(r.changed, 1u);
    ASSERT_EQ(r.hunks.size(), 3u);
    EXPECT_EQ(r.hunks[0].path, "{@Total}/{@Tax}");
    EXPECT_EQ(r.hunks[0].record, 1);
    EXPECT_EQ(r.hunks[1].record, 2);
    EXPECT_EQ(r.hunks[2].path, "{@Total}");
    EXPECT_EQ(Lines(r, a, b), (std::vector<std::string>{"-rate looked up", "-Tax = 19.00", "+Tax = 19.01",
                                                        "+{@Discount}", "+Discount = 5%", "+"}));
    // Context lines around, and runs that agree.
    EXPECT_EQ(CompareRuns(a, b, {false, 1, 4000}).hunks[0].lines.front().kind, ' ');
    EXPECT_TRUE(CompareRuns(a, a, {}).Same());
}

TEST(TraceDiff, ACallThatStandsElsewhereIsMoved) {
    const std::vector<DiffMessage> a{M(6, 1, "{@Header}"), M(0, 1, "x"), M(7, 0, ""), M(0, 1, "body")};
    const std::vector<DiffMessage> b{M(0, 1, "body"), M(6, 1, "{@Header}"), M(0, 1, "x"), M(7, 0, "")};
    DiffOptions o;
    o.keepAll = true;
    const DiffResult r = CompareRuns(a, b, o);
    std::size_t moved = 0;
    for (const DiffLine& l : r.all) moved += l.moved;
    EXPECT_EQ(moved, 6u);  // the call's three lines, on each side
}

TEST(TraceDiff, RecordNumbersCanBeLeftOutAndTooManyEditsFallBack) {
    const std::vector<DiffMessage> a{M(6, 1, "{@F}"), M(0, 1, "x"), M(7, 0, "")};
    const std::vector<DiffMessage> b{M(6, 9, "{@F}"), M(0, 9, "x"), M(7, 0, "")};
    EXPECT_FALSE(CompareRuns(a, b, {}).Same());
    EXPECT_TRUE(CompareRuns(a, b, {true, 2, 4000}).Same());
    std::vector<DiffMessage> many, other;
    for (int i = 0; i < 200; ++i) {
        many.push_back(M(0, i, "a"));
        other.push_back(M(0, i + 1000, "b"));
    }
    const DiffResult r = CompareRuns(many, other, {false, 2, 50});
    EXPECT_TRUE(r.fellBack);
    EXPECT_EQ(r.onlyA, 200u);
    EXPECT_EQ(r.onlyB, 200u);
}

}  // namespace
}  // namespace tw::viewer
