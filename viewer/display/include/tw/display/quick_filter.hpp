#pragma once
// The quick filter: the lines of one trace page whose text matches a pattern, with the
// formula and subreport entries above each of them, kept in a tree of their own while new
// lines arrive. The page's own tree and everything shown of it stay untouched.

#include "tw/core/trace_tree.hpp"
#include "tw/display/find.hpp"

#include <QRegularExpression>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tw::viewer {

// What the quick filter looks for.
struct QuickPattern {
    QString text;            // empty: no filter
    bool regex = false;      // a QRegularExpression (Perl syntax); otherwise plain text
    bool matchCase = false;
    friend bool operator==(const QuickPattern&, const QuickPattern&) = default;
};

// A compiled pattern. Lines are matched on the text the page shows (record number, time
// stamp, message), built into a reused buffer.
class PatternMatcher {
public:
    explicit PatternMatcher(const QuickPattern& pattern);
    // False for an invalid regular expression; Error() says why and where.
    bool IsValid() const { return m_error.isEmpty(); }
    const QString& Error() const { return m_error; }
    bool IsEmpty() const { return m_empty; }
    // Whether the line's text matches (never for an empty or invalid pattern).
    bool Matches(const TraceTree& tree, int index);
    // Every match in a text as (start, length), left to right, not overlapping; empty matches
    // are left out.
    void FindAll(QStringView text, std::vector<std::pair<int, int>>& out) const;

private:
    QString m_error;
    bool m_empty = true;
    bool m_regex = false;
    bool m_matchCase = false;
    QString m_text;
    QRegularExpression m_re;
    std::optional<LineMatcher> m_plain;
    QString m_line;
};

// Keeps the filtered copy of one source tree. The copy's lines share the source's messages,
// time stamps, colours and bold flags; its lines are expanded. Lines appended to the source
// are matched by CatchUp() (the owner runs it when told through the arrival hook); removed
// and cleared source lines leave the copy at once, and the source's selection is followed.
class QuickFilter : private TraceTreeObserver {
public:
    QuickFilter();
    ~QuickFilter() override;
    QuickFilter(const QuickFilter&) = delete;
    QuickFilter& operator=(const QuickFilter&) = delete;

    // Filters source with the pattern into a new filtered tree (the previous one is
    // destroyed). An empty or invalid pattern detaches instead; false and the reason in
    // *error for an invalid one.
    bool Apply(TraceTree& source, const QuickPattern& pattern, QString* error = nullptr);
    // Detaches from the source and drops the filtered tree.
    void Reset();
    bool IsActive() const { return m_source != nullptr; }
    TraceTree* Source() const { return m_source; }
    // The filtered lines (nullptr while inactive).
    TraceTree* Filtered() const { return m_filtered.get(); }
    const QuickPattern& Pattern() const { return m_pattern; }

    // The source line of a filtered line, and the filtered line of a source line (0 when the
    // filter does not keep it).
    int SourceLine(int filteredLine) const;
    int FilteredLine(int sourceLine) const;

    // Matches the source lines appended since the last call.
    void CatchUp();
    // Source lines not yet matched.
    int Pending() const { return m_source ? m_source->Count() - m_scanned : 0; }
    // Called once after lines were appended to the source and before the next CatchUp.
    void SetArrivalHook(std::function<void()> hook) { m_arrival = std::move(hook); }

private:
    void Keep(int sourceLine);
    void RebuildSpine();

    void LinesAppended() override;
    void LinesRemoved(int first, int last) override;
    void Cleared() override;
    void LineChanged(int index) override;
    void SelectionChanged(int index, bool makeVisible) override;
    void TreeDestroyed() override;

    TraceTree* m_source = nullptr;
    std::unique_ptr<TraceTree> m_filtered;
    std::unique_ptr<PatternMatcher> m_matcher;
    QuickPattern m_pattern;
    std::vector<std::uint32_t> m_map;    // source line of each filtered line, ascending
    std::vector<std::uint32_t> m_spine;  // filtered line of the last kept line's ancestors, by level
    int m_scanned = 0;                   // source lines 1..m_scanned were matched
    bool m_arrivalSignalled = false;
    std::function<void()> m_arrival;
};

}  // namespace tw::viewer
