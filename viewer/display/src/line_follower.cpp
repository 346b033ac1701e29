#include "tw/display/line_follower.hpp"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTreeView>

namespace tw::viewer {

LineFollower::LineFollower(QTreeView* view) : QObject(view), m_view(view) {
    QAbstractItemModel* model = view->model();
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &LineFollower::RowsInserted);
        connect(model, &QAbstractItemModel::modelReset, this, [this] { m_paused = false; });
    }
    connect(view->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &LineFollower::UserScrolled);
    if (view->selectionModel())
        connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &LineFollower::CurrentChanged);
}

void LineFollower::SetEnabled(bool enabled) {
    if (m_enabled == enabled) return;
    m_enabled = enabled;
    if (enabled) Resume();
}

void LineFollower::Resume() {
    m_paused = false;
    if (!m_enabled || !m_view) return;
    m_scrolling = true;
    m_view->scrollToBottom();
    m_scrolling = false;
}

void LineFollower::RowsInserted() {
    if (!m_enabled || m_paused || m_queued) return;
    m_queued = true;
    QMetaObject::invokeMethod(this, &LineFollower::ScrollNow, Qt::QueuedConnection);
}

void LineFollower::ScrollNow() {
    m_queued = false;
    if (!m_enabled || m_paused || !m_view) return;
    m_scrolling = true;
    m_view->scrollToBottom();
    m_scrolling = false;
    ++m_scrolls;
}

void LineFollower::UserScrolled() {
    if (m_scrolling || !m_view) return;
    // The slider already stands where the action takes it; its value follows after this.
    const QScrollBar* bar = m_view->verticalScrollBar();
    m_paused = bar->sliderPosition() < bar->maximum();
}

void LineFollower::CurrentChanged() {
    if (m_scrolling || !m_view) return;
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid()) return;
    // The last row the view shows: nothing below it.
    m_paused = m_view->indexBelow(current).isValid();
}

}  // namespace tw::viewer
