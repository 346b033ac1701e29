#pragma once
// Every match of a pattern marked in the lines a trace view paints, and stepping from match
// to match with wrap-around.

#include "tw/display/quick_filter.hpp"

#include <QStyledItemDelegate>

#include <memory>

namespace tw::viewer {

// Paints trace lines with the characters that match the pattern on a marked background. It
// can serve several views; only the line text (column 0) is marked.
class MatchHighlighter : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit MatchHighlighter(QObject* parent = nullptr);
    ~MatchHighlighter() override;

    // An empty or invalid pattern marks nothing.
    void SetPattern(const QuickPattern& pattern);
    const QuickPattern& Pattern() const { return m_pattern; }
    // Where the marks of a text go, as (start, length).
    std::vector<std::pair<int, int>> Matches(QStringView text) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

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
