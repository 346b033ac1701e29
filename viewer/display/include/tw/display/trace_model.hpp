#pragma once
// Qt model over one TraceTree: what a tree view shows of the trace store.

#include "tw/core/trace_tree.hpp"
#include "tw/display/time_columns.hpp"

#include <QAbstractItemModel>
#include <QFont>
#include <QTimer>

#include <vector>

namespace tw::viewer {

// Shows a TraceTree to Qt views without copying it. Text, picture and colours are built in
// data(), so only the rows a view paints cost anything. Lines appended to the tree reach the
// view in batches (at most a few per second, slower as the trace grows), so streaming never
// relays the view out per message; removal, clearing and selection publish the pending
// lines first. The model's internal id of an index is the line's handle, so persistent
// indexes survive renumbering.
class TraceModel : public QAbstractItemModel, private TraceTreeObserver {
    Q_OBJECT
public:
    enum Role {
        LineRole = Qt::UserRole + 1,  // the line's 1-based index in the tree
        MessageTypeRole,
        RecordNumberRole,
    };

    // The tree must outlive the model or tell it through TreeDestroyed (it does).
    explicit TraceModel(TraceTree& tree, QObject* parent = nullptr);
    ~TraceModel() override;

    TraceTree* Tree() const { return m_tree; }
    // The index of a line (1-based); invalid for 0, for a line not yet shown, or out of range.
    QModelIndex IndexOfLine(int line) const;
    // The line of an index, 0 for an invalid index.
    int LineOf(const QModelIndex& index) const;
    // Publishes appended lines now (normally a timer does it).
    void FlushPending();
    // Lines the views know of; the tree may hold more until the next flush.
    int PublishedCount() const { return m_published; }
    // A view tells how long laying its rows out took; appended lines are then published
    // rarely enough that laying out takes at most a tenth of the time.
    void ReportLayoutCost(qint64 milliseconds);
    // Milliseconds between publishing appended lines.
    int FlushInterval() const;
    // Time columns after the line text (column 0), in this order; none by default.
    void SetTimeColumns(const std::vector<TimeColumn>& columns);
    const std::vector<TimeColumn>& TimeColumns() const { return m_timeColumns; }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The tree's expanded flag of a shown line changed; views follow it.
    void expandRequested(const QModelIndex& index, bool expanded);
    // The tree's selected line changed (invalid: none); makeVisible asks to scroll to it.
    void selectionRequested(const QModelIndex& index, bool makeVisible);

private:
    void LinesAppended() override;
    void LinesAboutToBeRemoved(int first, int last) override;
    void LinesRemoved(int first, int last) override;
    void AboutToClear() override;
    void Cleared() override;
    void LineChanged(int index) override;
    void ExpandedChanged(int index, bool expanded) override;
    void SelectionChanged(int index, bool makeVisible) override;
    void TreeDestroyed() override;

    void ScheduleFlush(bool soon);
    int lineOf(quintptr id) const;

    TraceTree* m_tree;
    int m_published = 0;                 // lines 1..m_published are known to views
    qint64 m_layoutCost = 0;             // last layout time a view reported, milliseconds
    QTimer m_flushTimer;
    std::vector<int> m_changedLines;     // lines whose colours changed since the last flush
    bool m_manyChanged = false;
    mutable quintptr m_cachedId = 0;     // last handle looked up, and its line
    mutable int m_cachedLine = 0;
    QFont m_boldFont;
    std::vector<TimeColumn> m_timeColumns;
};

}  // namespace tw::viewer
