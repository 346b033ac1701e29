#include "tw/core/shown_rows.hpp"

#include <algorithm>

namespace tw::viewer {

ShownRows::ShownRows(const TraceTree& tree) : m_tree(tree) { Rebuild(); }

void ShownRows::Rebuild() {
    m_runs.clear();
    m_hiddenTotal = 0;
    m_lines = m_tree.Count();
    for (int line = 1; line <= m_lines;) {
        const int last = m_tree.LastInSubtree(line);
        if (!m_tree.IsExpanded(line) && last > line) {
            m_runs.push_back({line + 1, last, m_hiddenTotal});
            m_hiddenTotal += last - line;
            line = last + 1;
        } else {
            ++line;
        }
    }
}

std::size_t ShownRows::RunsStartingBy(int line) const {
    return std::size_t(std::upper_bound(m_runs.begin(), m_runs.end(), line,
                                        [](int l, const Run& r) { return l < r.first; }) -
                       m_runs.begin());
}

int ShownRows::RunHolding(int line) const {
    const std::size_t n = RunsStartingBy(line);
    return n > 0 && m_runs[n - 1].last >= line ? int(n - 1) : -1;
}

int ShownRows::LineAt(int row) const {
    if (row < 0 || row >= Count()) return 0;
    // The runs wholly before the line: those with fewer shown lines before them than row + 1.
    const auto after = std::upper_bound(m_runs.begin(), m_runs.end(), row, [](int r, const Run& run) {
        return r < (run.first - 1) - run.before;
    });
    const std::int64_t hidden = after == m_runs.begin() ? 0 : (after - 1)->before + ((after - 1)->last - (after - 1)->first + 1);
    return int(row + 1 + hidden);
}

int ShownRows::RowOf(int line) const {
    if (line < 1 || line > m_lines) return -1;
    const std::size_t n = RunsStartingBy(line);
    if (n == 0) return line - 1;
    const Run& run = m_runs[n - 1];
    if (run.last >= line) return -1;
    return int(line - 1 - (run.before + (run.last - run.first + 1)));
}

void ShownRows::LineAppended() {
    const int line = ++m_lines;
    const int parent = m_tree.Parent(line);
    if (parent == 0) return;
    // Under a hidden parent the new line lengthens the parent's run, which ends the list: it
    // holds the end of the subtree that the parent and the last line share.
    if (RunHolding(parent) >= 0) {
        ++m_runs.back().last;
        ++m_hiddenTotal;
        return;
    }
    if (m_tree.IsExpanded(parent)) return;
    // Under a collapsed parent in sight: the parent's run, begun by an earlier child, or a new one.
    if (!m_runs.empty() && m_runs.back().first == parent + 1) {
        ++m_runs.back().last;
    } else {
        m_runs.push_back({line, line, m_hiddenTotal});
    }
    ++m_hiddenTotal;
}

void ShownRows::ExpandedChanged(int line) {
    if (line < 1 || line > m_lines || RunHolding(line) >= 0) return;  // hidden: nothing shown changes
    if (m_tree.IsExpanded(line)) Show(line);
    else Hide(line);
}

void ShownRows::Hide(int line) {
    const int last = m_tree.LastInSubtree(line);
    if (last == line) return;
    const auto from = m_runs.begin() + std::ptrdiff_t(RunsStartingBy(line));
    const auto to = std::upper_bound(from, m_runs.end(), last, [](int l, const Run& r) { return l < r.first; });
    const std::size_t at = std::size_t(from - m_runs.begin());
    m_runs.erase(from, to);
    m_runs.insert(m_runs.begin() + std::ptrdiff_t(at), Run{line + 1, last, 0});
    Renumber(at);
}

void ShownRows::Show(int line) {
    const int index = RunHolding(line + 1);
    if (index < 0 || m_runs[std::size_t(index)].first != line + 1) return;
    const int last = m_runs[std::size_t(index)].last;
    // The collapsed subtrees inside stay hidden, each skipped by its extent.
    std::vector<Run> inside;
    for (int i = line + 1; i <= last;) {
        const int end = m_tree.LastInSubtree(i);
        if (!m_tree.IsExpanded(i) && end > i) {
            inside.push_back({i + 1, end, 0});
            i = end + 1;
        } else {
            ++i;
        }
    }
    m_runs.erase(m_runs.begin() + index);
    m_runs.insert(m_runs.begin() + index, inside.begin(), inside.end());
    Renumber(std::size_t(index));
}

void ShownRows::Renumber(std::size_t from) {
    std::int64_t hidden = from == 0 ? 0 : m_runs[from - 1].before + (m_runs[from - 1].last - m_runs[from - 1].first + 1);
    for (std::size_t i = from; i < m_runs.size(); ++i) {
        m_runs[i].before = hidden;
        hidden += m_runs[i].last - m_runs[i].first + 1;
    }
    m_hiddenTotal = hidden;
}

}  // namespace tw::viewer
