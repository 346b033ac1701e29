#include "tw/core/shown_rows.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tw::viewer {
namespace {

// The shown lines as a view would find them laying the whole tree out from scratch.
std::vector<int> Flatten(const TraceTree& tree) {
    std::vector<int> shown;
    for (int line = 1; line <= tree.Count(); ++line) {
        bool visible = true;
        for (int p = tree.Parent(line); p != 0 && visible; p = tree.Parent(p)) visible = tree.IsExpanded(p);
        if (visible) shown.push_back(line);
    }
    return shown;
}

void ExpectSame(const TraceTree& tree, const ShownRows& rows, int step) {
    const std::vector<int> shown = Flatten(tree);
    ASSERT_EQ(rows.Count(), int(shown.size())) << "step " << step;
    for (int row = 0; row < int(shown.size()); ++row) ASSERT_EQ(rows.LineAt(row), shown[std::size_t(row)]) << "step " << step;
    for (int line = 1, row = 0; line <= tree.Count(); ++line) {
        const bool visible = row < int(shown.size()) && shown[std::size_t(row)] == line;
        ASSERT_EQ(rows.RowOf(line), visible ? row : -1) << "step " << step << " line " << line;
        if (visible) ++row;
    }
    EXPECT_EQ(rows.LineAt(-1), 0);
    EXPECT_EQ(rows.LineAt(rows.Count()), 0);
}

// Thousands of random appends (under expanded and collapsed parents, at every depth on the
// append path), collapses and expansions anywhere, and a rebuild now and then: the index
// always agrees with a layout from scratch.
TEST(ShownRows, AgreesWithALayoutFromScratchThroughRandomChanges) {
    for (unsigned seed : {1u, 7u, 42u}) {
        std::mt19937 random(seed);
        TraceTree tree;
        ShownRows rows(tree);
        std::vector<int> path;  // the append path: the last line and its ancestors
        for (int step = 0; step < 3000; ++step) {
            const int action = int(random() % 10);
            if (action < 6 || tree.Count() == 0) {
                // Append under a line of the path (or at the top level), as a stream does.
                const int depth = path.empty() ? 0 : int(random() % (path.size() + 1));
                const int parent = depth == 0 ? 0 : path[std::size_t(depth - 1)];
                const int line = tree.Append(parent, MessageSink::CreateEx(0, step, u"x"), 0);
                path.resize(std::size_t(depth));
                path.push_back(line);
                rows.LineAppended();
                if (random() % 3 == 0) {
                    tree.SetExpanded(line, true);
                    rows.ExpandedChanged(line);
                }
            } else if (action < 9) {
                const int line = 1 + int(random() % unsigned(tree.Count()));
                tree.SetExpanded(line, !tree.IsExpanded(line));
                rows.ExpandedChanged(line);
            } else {
                rows.Rebuild();
            }
            if (step % 50 == 0 || step > 2950) ExpectSame(tree, rows, step);
        }
        ExpectSame(tree, rows, -1);
    }
}

}  // namespace
}  // namespace tw::viewer
