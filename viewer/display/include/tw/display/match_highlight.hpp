#pragma once
// Every match of a pattern marked in the lines a trace view paints, and stepping from match
// to match with wrap-around.

#include "tw/display/quick_filter.hpp"

#include <memory>
#include <utility>
#include <vector>

namespace tw::viewer {

// The pattern whose matches the trace views mark in the lines they paint (shared by them).
class MatchHighlighter {
public:
    MatchHighlighter();
    ~MatchHighlighter();

    // An empty or invalid pattern marks nothing.
    void SetPattern(const QuickPattern& pattern);
    const QuickPattern& Pattern() const { return m_pattern; }
    // Where the marks of a text go, as (start, length).
    std::vector<std::pair<int, int>> Matches(QStringView text) const;
    void Matches(QStringView text, std::vector<std::pair<int, int>>& out) const;
    bool IsActive() const { return m_matcher != nullptr; }

private:
    QuickPattern m_pattern;
    std::unique_ptr<PatternMatcher> m_matcher;
};

// The next (forward) or previous line after from that matches the pattern, going round the
// ends of the tree once; wrapped tells that it went round. from 0 starts before the first
// (forward) or after the last line. line 0: no line matches.
struct MatchStep {
    int line = 0;
    bool wrapped = false;
};
MatchStep FindMatch(const TraceTree& tree, const QuickPattern& pattern, int from, bool forward);

}  // namespace tw::viewer
