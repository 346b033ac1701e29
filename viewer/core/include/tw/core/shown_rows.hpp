#pragma once
// Which lines of a trace are shown, as rows 0..Count()-1, without a record per shown line: a
// line is shown when every ancestor is expanded, so the hidden lines are the subtrees of the
// collapsed lines that are themselves shown. Lines are numbered in pre-order and a subtree is
// the contiguous run index..LastInSubtree(index), so the index keeps just those runs, sorted,
// with the number of hidden lines before each: looking a row or a line up costs a binary
// search over the collapsed lines in sight, an append a constant, a collapse or expand the
// runs it adds or removes (a collapsed subtree inside is skipped by its extent). Qt-free.

#include "tw/core/trace_tree.hpp"

#include <cstdint>
#include <vector>

namespace tw::viewer {

class ShownRows {
public:
    // Reads the tree; keep it in step through the calls below (the view's model does).
    explicit ShownRows(const TraceTree& tree);

    int Count() const { return m_lines - int(m_hiddenTotal); }
    // The line shown at row (0-based); 0 for a row out of range.
    int LineAt(int row) const;
    // The row of a line, -1 when it is hidden or out of range.
    int RowOf(int line) const;
    bool IsShown(int line) const { return RowOf(line) >= 0; }

    // The tree gained its last line (index Count() of the tree).
    void LineAppended();
    // A line was expanded or collapsed.
    void ExpandedChanged(int line);
    // Anything else (lines removed, the tree cleared): read the whole tree again.
    void Rebuild();

private:
    struct Run {
        int first;            // first hidden line
        int last;             // last hidden line
        std::int64_t before;  // hidden lines in the runs before this one
    };
    // The runs whose first line is at most line (their number).
    std::size_t RunsStartingBy(int line) const;
    // Index of the run that holds line, or -1.
    int RunHolding(int line) const;
    // Hides the subtree below line, taking the place of the runs inside it.
    void Hide(int line);
    // Shows the subtree below line again, but for the collapsed subtrees inside it.
    void Show(int line);
    void Renumber(std::size_t from);

    const TraceTree& m_tree;
    std::vector<Run> m_runs;  // disjoint, ascending
    int m_lines = 0;          // lines of the tree seen
    std::int64_t m_hiddenTotal = 0;
};

}  // namespace tw::viewer
