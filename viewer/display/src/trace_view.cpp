#include "tw/display/trace_view.hpp"

#include "tw/display/trace_model.hpp"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <vector>

// The tree view keeps one record a shown row and lays them all out again after any insertion;
// appending in place needs its private row records. They are used only with the Qt release
// they were written against; any other release takes the tree view's own way.
#if QT_VERSION >= QT_VERSION_CHECK(6, 4, 0) && QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
#define TW_APPEND_ROWS_IN_PLACE 1
#include <QtWidgets/private/qtreeview_p.h>
#endif

namespace tw::viewer {

TraceView::TraceView(TraceModel* model, QWidget* parent) : QTreeView(parent), m_model(model) {
    setModel(model);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setAnimated(false);
    QFont f(QStringLiteral("Tahoma"));
    f.setPointSizeF(8.25);
    setFont(f);

    connect(model, &TraceModel::expandRequested, this,
            [this](const QModelIndex& index, bool expanded) { setExpanded(index, expanded); });
    connect(model, &TraceModel::selectionRequested, this, &TraceView::FollowSelection);
    // The user's expanding, collapsing and clicking go back into the tree.
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        if (int line = m_model->LineOf(index)) m_model->Tree()->SetExpanded(line, true);
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (int line = m_model->LineOf(index)) m_model->Tree()->SetExpanded(line, false);
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (m_following || !m_model->Tree()) return;
                m_model->Tree()->SetSelectedFromView(m_model->LineOf(current));
            });
}

void TraceView::FollowSelection(const QModelIndex& index, bool makeVisible) {
    m_following = true;
    if (index.isValid()) {
        setCurrentIndex(index);
        if (makeVisible) scrollTo(index);
    } else {
        selectionModel()->clear();
    }
    m_following = false;
}

void TraceView::doItemsLayout() {
    QElapsedTimer timer;
    timer.start();
    QTreeView::doItemsLayout();
    m_model->ReportLayoutCost(timer.elapsed());
}

void TraceView::rowsInserted(const QModelIndex& parent, int start, int end) {
    if (AppendRows(parent, start, end)) {
        QAbstractItemView::rowsInserted(parent, start, end);
        return;
    }
    QTreeView::rowsInserted(parent, start, end);
}

bool TraceView::AppendRows(const QModelIndex& parent, int start, int end) {
#ifdef TW_APPEND_ROWS_IN_PLACE
    // As the tree view reaches its own (single inheritance: the same address).
    auto* d = reinterpret_cast<QTreeViewPrivate*>(QWidgetPrivate::get(this));
    if (d->delayedPendingLayout || d->viewItems.isEmpty() || !d->hiddenIndexes.isEmpty() ||
        !d->spanningIndexes.isEmpty() || !d->uniformRowHeights || parent.column() > 0 || rootIndex().isValid())
        return false;
    const int count = end - start + 1;
    if (start != model()->rowCount(parent) - count) return false;  // not an append
    // A parent inside a collapsed line shows nothing new.
    for (QModelIndex a = parent.isValid() ? parent.parent() : QModelIndex(); a.isValid(); a = a.parent())
        if (!d->isIndexExpanded(a)) return true;

    // A shown parent of appended rows lies on the path from the last shown row to the top.
    const int oldLast = int(d->viewItems.size()) - 1;
    int p = oldLast;
    if (parent.isValid()) {
        while (p >= 0 && !(d->viewItems[p].index.row() == parent.row() &&
                           d->viewItems[p].index.internalId() == parent.internalId()))
            p = d->viewItems[p].parentItem;
        if (p < 0) return false;
    } else {
        p = -1;
    }
    if (p >= 0 && !d->viewItems[p].expanded) {
        // Collapsed: only its decoration may change.
        if (!d->viewItems[p].hasChildren && model()->rowCount(parent) > 0) {
            d->viewItems[p].hasChildren = true;
            viewport()->update();
        }
        return true;
    }

    // The row that was the parent's last child gets siblings below it.
    int sibling = -1;
    if (start > 0) {
        sibling = oldLast;
        while (sibling > p && d->viewItems[sibling].parentItem != p) sibling = d->viewItems[sibling].parentItem;
        if (sibling <= p) return false;
    }
    // The rows in pre-order, as a whole layout gives them: under a new row the trace holds
    // expanded, its rows follow it at once, so that the view does not lay out every newly
    // expanded line again on its own when the model asks for its expansion afterwards.
    const TraceTree* tree = m_model->Tree();
    struct Run {
        QModelIndex parent;
        int row, end;
        int item;  // the parent's row record (-1: the top level)
    };
    std::vector<Run> runs{{parent, start, end, p}};
    std::vector<QModelIndex> expandedHere;
    auto undo = [&] {
        for (const QModelIndex& index : expandedHere) d->expandedIndexes.remove(index);
        d->viewItems.resize(oldLast + 1);
        return false;
    };
    while (!runs.empty()) {
        Run& run = runs.back();
        if (run.row > run.end) {
            if (runs.size() > 1) {  // a row expanded here: it now knows its shown rows
                QTreeViewItem& done = d->viewItems[run.item];
                done.total = uint(d->viewItems.size() - 1 - run.item);
                done.hasChildren = done.total > 0;
            }
            runs.pop_back();
            continue;
        }
        QTreeViewItem item;
        item.index = model()->index(run.row, 0, run.parent);
        item.parentItem = run.item;
        item.level = run.item >= 0 ? d->viewItems[run.item].level + 1 : 0;
        item.hasMoreSiblings = run.row != run.end;
        ++run.row;
        if (d->isIndexExpanded(item.index)) return undo();  // a new row cannot be; be safe
        item.hasChildren = d->hasVisibleChildren(item.index);
        const int line = item.hasChildren && tree ? m_model->LineOf(item.index) : 0;
        item.expanded = line && tree->IsExpanded(line);
        d->viewItems.append(item);
        if (item.expanded) {
            d->storeExpanded(item.index);
            expandedHere.push_back(item.index);
            runs.push_back({item.index, 0, model()->rowCount(item.index) - 1, int(d->viewItems.size()) - 1});
        }
    }
    if (sibling >= 0) d->viewItems[sibling].hasMoreSiblings = true;
    else if (p >= 0) d->viewItems[p].hasChildren = true;
    const uint added = uint(int(d->viewItems.size()) - 1 - oldLast);
    for (int a = p; a >= 0; a = d->viewItems[a].parentItem) d->viewItems[a].total += added;
    d->lastViewedItem = oldLast + 1;
    m_model->ReportLayoutCost(0);
    updateGeometries();
    viewport()->update();
    return true;
#else
    (void)parent, (void)start, (void)end;
    return false;
#endif
}

void TraceView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* sideways = horizontalScrollBar();
    const int keep = sideways->value();
    QTreeView::scrollTo(index, hint);
    sideways->setValue(keep);
}

void TraceView::mousePressEvent(QMouseEvent* event) {
    QTreeView::mousePressEvent(event);
    if (event->button() == Qt::RightButton && m_menuOnPress)
        emit searchMenuRequested(event->globalPosition().toPoint());
}

void TraceView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::RightButton && !m_menuOnPress)
        emit searchMenuRequested(event->globalPosition().toPoint());
}

QModelIndex TraceView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (currentIndex().isValid() || (action != MoveEnd && action != MovePageDown) || !model())
        return QTreeView::moveCursor(action, modifiers);
    QModelIndex last;
    for (QModelIndex parent;;) {
        const int rows = model()->rowCount(parent);
        if (rows == 0) break;
        last = model()->index(rows - 1, 0, parent);
        if (!isExpanded(last)) break;
        parent = last;
    }
    return last;
}

void TraceView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const {
    const QVariant background = index.data(Qt::BackgroundRole);
    if (background.isValid() && !selectionModel()->isSelected(index)) painter->fillRect(rect, background.value<QBrush>());
    QTreeView::drawBranches(painter, rect, index);
}

}  // namespace tw::viewer
