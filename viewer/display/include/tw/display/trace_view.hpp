#pragma once
// The trace view: paints the lines of one TraceTree straight from the tree. The tree owns
// the lines, their expansion, colours and the selected line; the view owns its scroll
// position, a ShownRows index of the rows in sight and nothing per line, so a page holds
// millions of lines at the cost of the lines alone.

#include "tw/core/shown_rows.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/display/time_columns.hpp"

#include <QAbstractScrollArea>
#include <QColor>
#include <QPalette>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

namespace tw::viewer {

class MatchHighlighter;
class OverviewStrip;

// How a row is painted: its background (filled only when it is not the page's) and text.
struct RowInk {
    bool fill = false;
    QColor back;
    QColor text;
};
// From the palette, the selection and the line's own colours (kDefaultColour: none). Text the
// view picks reads at 4.5:1 at least on any palette; colours the user chose stay as chosen.
RowInk InkFor(const QPalette& palette, QPalette::ColorGroup group, bool selected, Colour back, Colour fore);
// WCAG contrast ratio of two colours (1 to 21), and black or white, whichever reads better.
double ContrastRatio(const QColor& a, const QColor& b);
QColor ReadableOn(const QColor& back);

class TraceView : public QAbstractScrollArea, private TraceTreeObserver {
    Q_OBJECT
public:
    // The tree must outlive the view or tell it through TreeDestroyed (it does).
    explicit TraceView(TraceTree& tree, QWidget* parent = nullptr);
    ~TraceView() override;

    TraceTree* Tree() const { return m_tree; }
    const ShownRows& Rows() const { return m_rows; }

    // ---- what is where ----
    int RowHeight() const { return m_rowHeight; }
    // Rows that fit wholly into the viewport (at least 1).
    int RowsInSight() const;
    int TopRow() const;
    // The line under a point of the viewport, 0 for none.
    int LineAt(const QPoint& viewportPos) const;
    // Where a shown line's row lies in the viewport (out of it when scrolled away); an empty
    // rectangle for a hidden line.
    QRect LineRect(int line) const;
    // Where the line's text begins in a row, from the row's left edge, before scrolling sideways.
    int TextLeft(int line) const;

    // ---- the current line: the tree's selected line ----
    int CurrentLine() const { return m_tree ? m_tree->Selected() : 0; }
    // Selects a line as the user does (0: none) and brings it into sight.
    void SetCurrentLine(int line);
    // Scrolls up or down only, so the sideways position is kept.
    void ScrollToLine(int line);
    void ScrollToBottom();
    bool IsAtBottom() const;

    // ---- expansion ----
    void SetExpanded(int line, bool expanded);
    // Every line with children, or the line and its subtree (line > 0).
    void ExpandAll(int line = 0);
    void CollapseAll();

    // ---- presentation ----
    // Time columns before the line text, in this order; none by default (and no header).
    void SetTimeColumns(const std::vector<TimeColumn>& columns);
    const std::vector<TimeColumn>& TimeColumns() const { return m_timeColumns; }
    // The Source column, before the time columns: shown while the tree holds lines of more
    // than one file or process (TraceTree::SourceCount), naming each line's.
    bool ShowsSourceColumn() const { return m_sourceWidth > 0; }
    // Marks the matches of the highlighter's pattern in the painted lines (nullptr: none).
    void SetHighlighter(std::shared_ptr<const MatchHighlighter> highlighter);
    const MatchHighlighter* Highlighter() const { return m_highlighter.get(); }
    // Parts of a line's text to mark as matches are marked (start, length), besides the
    // highlighter's: what a comparison found changed, say.
    using PartMarks = std::function<void(int line, std::vector<std::pair<int, int>>& ranges)>;
    void SetPartMarks(PartMarks marks) {
        m_partMarks = std::move(marks);
        viewport()->update();
    }
    // Whether a line carries a mark (drawn at the left edge and in the overview).
    using MarkTest = std::function<bool(const TraceTree&, int line)>;
    void SetMarkTest(MarkTest test);
    // The marks, the bookmark or the highlighted pattern changed: repaint and recount.
    void MarksChanged();
    OverviewStrip* Overview() const { return m_overview; }
    // Width of the widest line seen so far, in pixels (what the horizontal scroll bar spans).
    int WidestLine() const { return m_widest; }

    // ---- following new lines ----
    // While on and not paused, lines that arrive scroll the view to its bottom once per batch;
    // the selection is never moved. Scrolling up, or choosing a line above the last, pauses;
    // coming back to the bottom, choosing the last line or Resume follows again.
    void SetFollowing(bool on);
    bool IsFollowing() const { return m_following; }
    bool IsFollowPaused() const { return m_followPaused; }
    void ResumeFollowing();
    // Scrolls done to follow batches so far (for tests and diagnostics).
    int FollowScrolls() const { return m_followScrolls; }

    // Whether the right button's press (true) or release (false) asks for the search menu.
    void SetMenuOnPress(bool onPress) { m_menuOnPress = onPress; }
    // Shows the lines appended so far now (a timer does it within a frame otherwise).
    void Refresh();

signals:
    // The current line changed, by the user or through the tree (0: none).
    void currentLineChanged(int line);
    // A line was double-clicked or Enter pressed on it.
    void lineActivated(int line);
    // The right mouse button asks for the Search menu at this global position.
    void searchMenuRequested(const QPoint& globalPos);
    // Following paused or resumed, or lines arrived while paused.
    void followStateChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void LinesAppended() override;
    void LinesRemoved(int first, int last) override;
    void Cleared() override;
    void LineChanged(int index) override;
    void ExpandedChanged(int index, bool expanded) override;
    void ExpansionReset() override;
    void Renested() override { ExpansionReset(); }
    void SelectionChanged(int index, bool makeVisible) override;
    void TreeDestroyed() override;

    void Measure();
    void UpdateRanges();
    void LayOutMargins();
    void ScheduleRefresh();
    void ChangeCurrent(int line, bool byUser);
    void UserScrolled();
    void SetFollowPaused(bool paused);
    bool HasChildren(int line) const;
    int LastShownLine() const;
    // The x of a line's expand box and of its picture, from the row's left edge.
    int Indent(int line) const;
    int TimeColumnsWidth() const;
    // The Source and time columns together, from the row's left edge.
    int LeadingWidth() const { return m_sourceWidth + TimeColumnsWidth(); }
    // Shows, hides or widens the Source column as the tree's sources change.
    void UpdateSourceColumn();
    int TimeColumnWidth(TimeColumn column) const;
    void PaintRow(QPainter& painter, int line, const QRect& row, QString& text) const;
    void PaintHeader(QPainter& painter, const QRect& area) const;
    void NotifyAccessibility(int previousRows);

    friend class TraceHeader;
    friend class OverviewStrip;
    friend class TraceViewAccessible;

    TraceTree* m_tree;
    ShownRows m_rows;
    int m_rowHeight = 18;
    int m_indentation = 19;
    int m_iconSize = 16;
    int m_widest = 0;          // widest row seen, pixels, from the row's left edge
    int m_shownCount = 0;      // rows the scroll bars and screen readers know of
    QTimer m_refresh;
    std::vector<TimeColumn> m_timeColumns;
    int m_sourceWidth = 0;    // 0: no Source column
    int m_sourceCount = 0;    // the tree's sources when the column was sized
    std::shared_ptr<const MatchHighlighter> m_highlighter;
    MarkTest m_markTest;
    PartMarks m_partMarks;
    QWidget* m_header = nullptr;
    OverviewStrip* m_overview = nullptr;
    bool m_menuOnPress = false;
    bool m_following = true;
    bool m_followPaused = false;
    bool m_ownScroll = false;  // a scroll of our own is under way
    int m_followScrolls = 0;
};

}  // namespace tw::viewer
