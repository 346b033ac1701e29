#include "tw/display/line_follower.hpp"

#include <QAbstractItemModel>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTreeView>

namespace tw::viewer {

LineFollower::LineFollower(QTreeView* view) : QObject(view), m_view(view) {
    QAbstractItemModel* model = view->model();
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this] {
                    if (m_enabled && m_paused) emit stateChanged();
                    RowsInserted();
                });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { SetPaused(false); });
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

void LineFollower::SetPaused(bool paused) {
    if (paused == m_paused) return;
    m_paused = paused;
    emit stateChanged();
}

void LineFollower::Resume() {
    SetPaused(false);
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
    SetPaused(bar->sliderPosition() < bar->maximum());
}

void LineFollower::CurrentChanged() {
    if (m_scrolling || !m_view) return;
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid()) return;
    // The last row the view shows: nothing below it.
    SetPaused(m_view->indexBelow(current).isValid());
}

}  // namespace tw::viewer
