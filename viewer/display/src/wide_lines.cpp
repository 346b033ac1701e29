#include "tw/display/wide_lines.hpp"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeView>
#include <QWheelEvent>

namespace tw::viewer {

namespace {
constexpr int kMeasureDelayMs = 0;  // once per turn of the event loop
}  // namespace

WideLines::WideLines(QTreeView* view) : QObject(view), m_view(view), m_viewport(view->viewport()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &WideLines::Measure);
    view->setTextElideMode(Qt::ElideNone);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    view->header()->setStretchLastSection(false);
    // Measuring lays the text of each row out: only the rows in sight are measured (Qt's
    // default adds up to 1,000 more, which cost more than the rest of taking a message in).
    view->header()->setResizeContentsPrecision(0);
    view->viewport()->installEventFilter(this);
    connect(view->verticalScrollBar(), &QAbstractSlider::valueChanged, this, &WideLines::Schedule);
    connect(view, &QTreeView::expanded, this, &WideLines::Schedule);
    if (QAbstractItemModel* model = view->model()) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &WideLines::Schedule);
        connect(model, &QAbstractItemModel::columnsInserted, this, &WideLines::Schedule);
        connect(model, &QAbstractItemModel::columnsRemoved, this, &WideLines::Schedule);
        connect(model, &QAbstractItemModel::modelReset, this, [this] {
            m_widest = 0;
            Schedule();
        });
    }
    Schedule();
}

void WideLines::Schedule() {
    if (!m_timer.isActive()) m_timer.start(kMeasureDelayMs);
}

void WideLines::Measure() {
    m_timer.stop();
    QTreeView* tree = m_view.data();
    if (!tree || !tree->model()) return;
    // Rows in sight, as the header's own sizing does; the tree view's own sizing is public
    // through its base.
    m_widest = std::max(m_widest, static_cast<const QAbstractItemView*>(tree)->sizeHintForColumn(0));
    // Any other columns keep their widths; the line column fills the rest at least.
    const QHeaderView* header = tree->header();
    const int others = header->length() - header->sectionSize(0);
    const int width = std::max(m_widest, tree->viewport()->width() - others);
    if (tree->columnWidth(0) != width) tree->setColumnWidth(0, width);
}

bool WideLines::eventFilter(QObject* watched, QEvent* event) {
    const bool mine = watched == m_viewport.data() &&
                      (event->type() == QEvent::Resize || event->type() == QEvent::Wheel);
    if (mine && m_view) {
        if (event->type() == QEvent::Resize) {
            Measure();
        } else if (event->type() == QEvent::Wheel) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            if (wheel->modifiers() & Qt::ShiftModifier) {
                // Shift turns the wheel sideways: a notch moves three character widths.
                QScrollBar* bar = m_view->horizontalScrollBar();
                const int notch = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
                const int step = 3 * m_view->fontMetrics().averageCharWidth();
                bar->setValue(bar->value() - notch * step / 120);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace tw::viewer
