#include "tw/core/trace_tree.hpp"

#include <gtest/gtest.h>

#include <vector>

namespace tw::viewer {
namespace {

MessageRef Msg(const char* text, qint16 type = 0, qint32 record = 0) {
    return MessageSink::CreateEx(type, record, QString::fromUtf8(text));
}

// Builds  1 A, 2 B(1), 3 C(2), 4 D(1), 5 E, 6 F(5)
void Build(TraceTree& t) {
    t.Append(0, Msg("A"), 0);
    t.Append(1, Msg("B"), 0);
    t.Append(2, Msg("C"), 0);
    t.Append(1, Msg("D"), 0);
    t.Append(0, Msg("E"), 0);
    t.Append(5, Msg("F"), 0);
}

TEST(TraceTree, StructureIsPreOrderWithChildLists) {
    TraceTree t;
    Build(t);
    ASSERT_EQ(t.Count(), 6);
    EXPECT_EQ(t.ChildCount(0), 2);
    EXPECT_EQ(t.Child(0, 1), 5);
    EXPECT_EQ(t.Child(1, 1), 4);
    EXPECT_EQ(t.Parent(3), 2);
    EXPECT_EQ(t.Level(3), 2);
    EXPECT_EQ(t.Row(4), 1);
    EXPECT_EQ(t.LastInSubtree(1), 4);
    EXPECT_EQ(t.LastInSubtree(6), 6);
    EXPECT_EQ(t.ChildCountUpTo(0, 4), 1);
    EXPECT_EQ(t.ChildCountUpTo(1, 3), 1);
}

TEST(TraceTree, RemovingASubtreeRenumbersLaterLinesAndKeepsHandles) {
    TraceTree t;
    Build(t);
    const LineHandle c = t.Handle(3), e = t.Handle(5), f = t.Handle(6);
    t.Select(6);
    t.RemoveSubtree(2);  // B and C
    ASSERT_EQ(t.Count(), 4);
    EXPECT_EQ(t.IndexOf(c), 0);
    EXPECT_EQ(t.IndexOf(e), 3);
    EXPECT_EQ(t.IndexOf(f), 4);
    EXPECT_EQ(t.Parent(4), 3);
    EXPECT_EQ(t.Child(1, 0), 2);  // D is now line 2, first child of A
    EXPECT_EQ(t.Message(2).Message(), QStringLiteral("D"));
    EXPECT_EQ(t.Selected(), 4);
    // Appending after a removal keeps working on the renumbered tree.
    EXPECT_EQ(t.Append(3, Msg("G"), 0), 5);
    EXPECT_EQ(t.Child(3, 1), 5);
    t.RemoveSubtree(1);  // A and D
    EXPECT_EQ(t.Count(), 3);
    EXPECT_EQ(t.Parent(3), 1);
    EXPECT_EQ(t.ChildCount(0), 1);
}

// Receipt times are kept as offsets within segments: times far apart, going back, unknown,
// and removals across segment starts all read back exactly.
TEST(TraceTree, ReceiptTimesSurviveSegmentsAndRemoval) {
    const qint64 t0 = 1'796'700'000'000'000, hour = 3'600'000'000;
    const std::vector<qint64> times{t0, t0 + 5, 0, t0 + 2 * hour, t0 + 2 * hour + 1, t0 - 7, 0, t0 + 9 * hour};
    TraceTree t;
    for (qint64 at : times) t.Append(0, Msg("x"), 0, at);
    for (int i = 1; i <= t.Count(); ++i) EXPECT_EQ(t.ReceivedAt(i), times[std::size_t(i - 1)]) << i;
    std::vector<qint64> left = times;
    for (int line : {4, 1, 3, 1}) {  // a segment's first line, the first line, a whole segment, ...
        t.RemoveSubtree(line);
        left.erase(left.begin() + (line - 1));
        for (int i = 1; i <= t.Count(); ++i) ASSERT_EQ(t.ReceivedAt(i), left[std::size_t(i - 1)]) << i;
    }
    t.Append(0, Msg("y"), 0, t0 + 3);
    EXPECT_EQ(t.ReceivedAt(t.Count()), t0 + 3);
    TraceTree copy;
    copy.AppendCopy(t, 2);
    EXPECT_EQ(copy.ReceivedAt(1), t.ReceivedAt(2));
}

TEST(TraceTree, RemovingTheSelectedLineClearsTheSelection) {
    TraceTree t;
    Build(t);
    t.Select(3);
    t.RemoveSubtree(1);
    EXPECT_EQ(t.Selected(), 0);
    EXPECT_EQ(t.Count(), 2);
}

TEST(TraceTree, HandlesAreUniqueAcrossTreesAndClear) {
    TraceTree a, b;
    a.Append(0, Msg("x"), 0);
    b.AppendCopy(a, 1);
    EXPECT_EQ(b.IndexOf(a.Handle(1)), 0);
    EXPECT_EQ(a.IndexOf(b.Handle(1)), 0);
    EXPECT_EQ(b.Tag(1), a.Tag(1));  // the copy shares the message
    const LineHandle old = a.Handle(1);
    a.Clear();
    a.Append(0, Msg("y"), 0);
    EXPECT_EQ(a.IndexOf(old), 0);
}

TEST(TraceTree, SelectExpandsAncestorsAndNotifies) {
    struct Recorder : TraceTreeObserver {
        std::vector<int> expanded;
        int selected = -1;
        bool visible = false;
        void ExpandedChanged(int i, bool e) override {
            if (e) expanded.push_back(i);
        }
        void SelectionChanged(int i, bool v) override {
            selected = i;
            visible = v;
        }
    } rec;
    TraceTree t;
    Build(t);
    t.AddObserver(&rec);
    t.Select(3);
    EXPECT_EQ(rec.expanded, (std::vector<int>{1, 2}));
    EXPECT_EQ(rec.selected, 3);
    EXPECT_TRUE(rec.visible);
    t.RemoveObserver(&rec);
}

TEST(TraceTree, ColoursAndBoldAndText) {
    TraceTree t;
    t.Append(0, Msg("hello", 0, 42), PackStamp(9, 5, 42));
    EXPECT_EQ(t.Text(1), QStringLiteral("00042  09:05:042  hello"));
    EXPECT_EQ(t.BackColour(1), kDefaultColour);
    t.SetBackColour(1, 0x00FF00FF);
    t.SetForeColour(1, 0x00FFFFFF);
    t.SetBold(1, true);
    EXPECT_EQ(t.BackColour(1), 0x00FF00FFu);
    EXPECT_TRUE(t.Bold(1));
    t.Append(0, Msg("x", 0, 1234567), PackStamp(23, 59, 999));
    EXPECT_EQ(t.Text(2), QStringLiteral("1234567  23:59:999  x"));
    t.Append(0, Msg("n", 0, -42), 0);
    EXPECT_EQ(t.Text(3), QStringLiteral("-00042  00:00:000  n"));
    QString reused = QStringLiteral("old");
    reused.resize(0);
    t.AppendText(1, reused);
    EXPECT_EQ(reused, t.Text(1));
}

// Colours and handles live in columns of their own once needed; removing lines keeps them
// with their lines.
TEST(TraceTree, ColoursAndHandlesFollowTheirLinesThroughRemovalAndClear) {
    TraceTree t;
    for (int i = 1; i <= 6; ++i) t.Append(0, Msg(("m" + std::to_string(i)).c_str()), 0);
    const LineHandle h5 = t.Handle(5), h2 = t.Handle(2);
    t.SetBackColour(5, 0x000000FF);
    t.SetForeColour(6, 0x0000FF00);
    t.RemoveSubtree(3);
    t.RemoveSubtree(1);
    EXPECT_EQ(t.IndexOf(h5), 3);
    EXPECT_EQ(t.IndexOf(h2), 1);
    EXPECT_EQ(t.BackColour(3), 0x000000FFu);
    EXPECT_EQ(t.ForeColour(3), kDefaultColour);
    EXPECT_EQ(t.ForeColour(4), 0x0000FF00u);
    t.Append(0, Msg("m7"), 0);
    EXPECT_EQ(t.IndexOf(t.Handle(5)), 5);
    EXPECT_EQ(t.BackColour(5), kDefaultColour);
    while (t.Count() > 0) t.RemoveSubtree(1);
    t.Append(0, Msg("after"), 0);
    EXPECT_EQ(t.IndexOf(t.Handle(1)), 1);
    EXPECT_EQ(t.IndexOf(h5), 0);
    t.Clear();
    t.Append(0, Msg("fresh"), 0);
    EXPECT_EQ(t.IndexOf(t.Handle(1)), 1);
    EXPECT_EQ(t.BackColour(1), kDefaultColour);
}

TEST(TraceTree, StampText) {
    EXPECT_EQ(StampText(StampFromText(u"23:59:999")), QStringLiteral("23:59:999"));
    EXPECT_EQ(StampFromText(u"bad"), 0u);
}

TEST(TraceTree, BadIndicesThrowInsteadOfCorrupting) {
    TraceTree t;
    EXPECT_THROW(t.Text(1), std::out_of_range);
    EXPECT_THROW(t.Append(3, Msg("x"), 0), std::out_of_range);
    EXPECT_THROW(t.Append(0, MessageRef(), 0), std::invalid_argument);
}

TEST(TraceTree, ReleasesMessagesOnClear) {
    TraceTree t;
    MessageRef m = Msg("kept");
    t.Append(0, m, 0);
    EXPECT_EQ(m.useCount(), 2);
    t.Clear();
    EXPECT_EQ(m.useCount(), 1);
}

}  // namespace
}  // namespace tw::viewer
