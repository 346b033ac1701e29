#include "display/trace_view.hpp"

#include "display/trace_model.hpp"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>

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

}  // namespace tw::viewer
