#include "tw/core/profiler.hpp"

#include <gtest/gtest.h>

namespace tw::viewer {
namespace {

const Profiler::Row* RowOf(const std::vector<Profiler::Row>& rows, const Profiler& p,
                           const std::string& name) {
    for (const auto& r : rows)
        if (p.Names()[r.name] == name) return &r;
    return nullptr;
}

// {@Total} (record 1, 0..100 us) calls {@Sub} twice (10..30, 40..90), and {@Sub} calls itself
// once (50..60); a subreport "Detail" (record 2, 200..260) holds {@Sub} (210..220). A stray exit
// comes first, and {@Open} is never left.
TEST(Profiler, StackRulesGiveTheHandComputedProfile) {
    Profiler p;
    p.Add(7, 0, "", 1);  // an exit with nothing open
    p.Add(6, 1, "{@Total}", 0, 10);
    p.Add(0, 1, "m", 5);
    p.Add(6, 1, "{@Sub}", 10, 12);
    p.Add(7, 1, "", 30);
    p.Add(6, 1, "{@Sub}", 40, 14);
    p.Add(6, 1, "{@Sub}", 50, 15);
    p.Add(7, 1, "", 60);
    p.Add(7, 1, "", 90);
    p.Add(7, 1, "", 100);
    p.Add(8, 2, "Detail", 200, 20);
    p.Add(6, 2, "{@Sub}", 210, 21);
    p.Add(7, 2, "", 220);
    p.Add(9, 2, "", 260);
    p.Add(6, 3, "{@Open}", 300, 30);
    EXPECT_EQ(p.StrayExits(), 1u);
    const auto rows = p.Rows();
    const auto* total = RowOf(rows, p, "{@Total}");
    const auto* sub = RowOf(rows, p, "{@Sub}");
    const auto* detail = RowOf(rows, p, "Detail");
    const auto* open = RowOf(rows, p, "{@Open}");
    ASSERT_TRUE(total && sub && detail && open);
    EXPECT_EQ(total->total, 100);
    EXPECT_EQ(total->self, 100 - 20 - 50);
    EXPECT_EQ(total->messages, 2u);  // "m" and its exit
    EXPECT_EQ(sub->calls, 4u);
    EXPECT_EQ(sub->total, 20 + 50 + 10);  // the recursive call is inside the outer one's 50
    EXPECT_EQ(sub->self, 20 + 40 + 10 + 10);
    EXPECT_EQ(sub->max, 50);
    EXPECT_EQ(sub->maxLine, 14);
    EXPECT_EQ(sub->maxRecord, 1);
    EXPECT_TRUE(detail->subreport);
    EXPECT_EQ(detail->total, 60);
    EXPECT_EQ(detail->self, 50);
    EXPECT_EQ(open->calls, 1u);
    EXPECT_EQ(open->open, 1u);
    EXPECT_EQ(open->total, 0);
    EXPECT_EQ(p.Names()[rows.front().name], "{@Total}");  // total, most first
    // Per record: first to last message, the top formula by self time.
    const auto byRecord = p.ByRecord();
    ASSERT_EQ(byRecord.size(), 3u);
    EXPECT_EQ(byRecord[0].record, 1);
    EXPECT_EQ(byRecord[0].last - byRecord[0].first, 100);
    EXPECT_EQ(p.Names()[byRecord[0].top.front().first], "{@Sub}");
    EXPECT_EQ(DurationText(87), "87 \xC2\xB5s");
    EXPECT_EQ(DurationText(412'300), "412.3 ms");
    EXPECT_EQ(DurationText(1'204'000), "1.204 s");
}

// Record numbers that go back to their lowest after rising begin a new pass; each pass has its
// own profile, and the send cost is the median gap between back-to-back messages.
TEST(Profiler, PassesAndSendCost) {
    Profiler p;
    std::int64_t t = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int record = 1; record <= 5; ++record) {
            p.Add(6, record, "{@Line}", t += 100);
            for (int m = 0; m < 3; ++m) p.Add(4, record, "x = 1", t += 7);
            p.Add(7, record, "", t += 7);
        }
    EXPECT_EQ(p.PassCount(), 2);
    const auto first = p.Rows(0);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].calls, 5u);
    EXPECT_EQ(first[0].total, 5 * 28);
    EXPECT_EQ(p.Rows().front().calls, 10u);
    EXPECT_EQ(p.ByRecord(1).size(), 5u);
    EXPECT_EQ(p.SendCost(), 7);
    EXPECT_EQ(p.SelfWithoutSends(p.Rows().front()), 0);
}

}  // namespace
}  // namespace tw::viewer
