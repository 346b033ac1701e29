#include "tw/display/match_highlight.hpp"

namespace tw::viewer {

MatchHighlighter::MatchHighlighter() = default;

MatchHighlighter::~MatchHighlighter() = default;

void MatchHighlighter::SetPattern(const QuickPattern& pattern) {
    m_pattern = pattern;
    auto matcher = std::make_unique<PatternMatcher>(pattern);
    if (matcher->IsEmpty() || !matcher->IsValid()) matcher.reset();
    m_matcher = std::move(matcher);
}

std::vector<std::pair<int, int>> MatchHighlighter::Matches(QStringView text) const {
    std::vector<std::pair<int, int>> ranges;
    Matches(text, ranges);
    return ranges;
}

void MatchHighlighter::Matches(QStringView text, std::vector<std::pair<int, int>>& out) const {
    out.clear();
    if (m_matcher) m_matcher->FindAll(text, out);
}

MatchStep FindMatch(const TraceTree& tree, const QuickPattern& pattern, int from, bool forward) {
    const int count = tree.Count();
    PatternMatcher matcher(pattern);
    if (count == 0 || matcher.IsEmpty() || !matcher.IsValid()) return {};
    if (from < 0 || from > count) from = 0;
    // Every other line once, then the start line itself.
    for (int k = 1; k <= count; ++k) {
        int line;
        bool wrapped;
        if (forward) {
            const int raw = from + k;
            wrapped = raw > count && from != 0;
            line = (raw - 1) % count + 1;
        } else {
            const int raw = (from == 0 ? count + 1 : from) - k;
            wrapped = raw < 1;
            line = raw < 1 ? raw + count : raw;
        }
        if (matcher.Matches(tree, line)) return {line, wrapped};
    }
    return {};
}

}  // namespace tw::viewer
