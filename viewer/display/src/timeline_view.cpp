#include "tw/display/timeline_view.hpp"

#include "tw/messaging/codepage.hpp"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace tw::viewer {

namespace {

QColor ColourOf(std::uint32_t name) {
    // Hues spread by the golden angle, so neighbouring names differ.
    const int hue = int((name * 137.508)) % 360;
    return QColor::fromHsv(hue, 90, 235);
}

}  // namespace

TimelineView::TimelineView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("timelineView"));
    setAccessibleName(QStringLiteral("Timeline"));
    setMouseTracking(true);
    setMinimumHeight(4 * kRowHeight);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
}

void TimelineView::SetProfiler(const Profiler* profiler) {
    m_profiler = profiler;
    m_zoomed = false;
    CallsChanged();
}

std::int64_t TimelineView::EndOf(const Profiler::Call& call) const {
    if (call.end >= 0) return call.end;
    // Still open: up to the last call's start.
    const auto& calls = m_profiler->Calls();
    return std::max(call.start, calls.empty() ? call.start : calls.back().start);
}

void TimelineView::Range(std::int64_t& first, std::int64_t& last) const {
    first = last = 0;
    if (!m_profiler || m_profiler->Calls().empty()) return;
    const auto& calls = m_profiler->Calls();
    first = calls.front().start;
    last = first;
    for (const auto& call : calls) last = std::max(last, EndOf(call));
}

void TimelineView::ShowAll() {
    std::int64_t first, last;
    Range(first, last);
    m_from = double(first);
    m_scale = std::max(1e-3, double(last - first) / std::max(1, width()));
    m_zoomed = false;
    update();
}

void TimelineView::CallsChanged() {
    if (!m_zoomed)
        ShowAll();
    else
        update();
}

void TimelineView::resizeEvent(QResizeEvent*) {
    if (!m_zoomed) ShowAll();
}

void TimelineView::ZoomAround(int x, double factor) {
    const double at = m_from + x * m_scale;
    m_scale = std::clamp(m_scale * factor, 1e-3, 1e12);
    m_from = at - x * m_scale;
    m_zoomed = true;
    update();
}

void TimelineView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (!m_profiler || m_profiler->Calls().empty()) return;
    const auto& calls = m_profiler->Calls();
    const int w = width();
    const int rows = height() / kRowHeight + 1;
    // Per depth, the last pixel column drawn: calls that fall into it are merged, and the calls
    // made inside them with them.
    std::vector<int> drawnTo(std::size_t(rows), -1);
    const QFontMetrics metrics = fontMetrics();
    auto paint = [&](std::size_t i) -> std::size_t {  // returns the last call index taken care of
        const Profiler::Call& call = calls[i];
        const std::size_t inside = call.end < 0 ? calls.size() - 1 : call.lastInside;
        if (int(call.depth) >= rows) return inside;
        const double x0 = (double(call.start) - m_from) / m_scale;
        const double x1 = (double(EndOf(call)) - m_from) / m_scale;
        if (x1 < 0) return inside;  // it and everything inside end before the left edge
        int left = int(std::floor(std::max(0.0, x0)));
        const int right = int(std::ceil(std::min(double(w), x1)));
        int& drawn = drawnTo[call.depth];
        if (right <= drawn) return inside;  // within a pixel already drawn
        left = std::max(left, drawn + 1);
        const QRect bar(left, int(call.depth) * kRowHeight, std::max(1, right - left), kRowHeight - 1);
        const QColor colour = ColourOf(call.name);
        p.fillRect(bar, call.end < 0 ? colour.lighter(115) : colour);
        drawn = bar.right();
        if (bar.width() > 24) {
            const QString name =
                QString::fromStdString(messaging::CodePageToUtf8(m_profiler->Names()[call.name]));
            p.setPen(QColor(20, 20, 20));  // dark text on the light bars, whatever the palette
            p.drawText(bar.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                       metrics.elidedText(name, Qt::ElideRight, bar.width() - 5));
        }
        return i;
    };
    // The first call that starts in sight, and the calls it was made in that reach into sight.
    const auto first =
        std::lower_bound(calls.begin(), calls.end(), m_from,
                         [](const Profiler::Call& c, double time) { return double(c.start) < time; });
    const std::size_t start = std::size_t(first - calls.begin());
    std::vector<std::uint32_t> spanning;
    for (std::uint32_t a = start > 0 ? std::uint32_t(start - 1) : Profiler::kNone; a != Profiler::kNone;
         a = calls[a].parent)
        if (double(EndOf(calls[a])) >= m_from) spanning.push_back(a);
    for (auto it = spanning.rbegin(); it != spanning.rend(); ++it) paint(*it);
    for (std::size_t i = start; i < calls.size(); ++i) {
        if ((double(calls[i].start) - m_from) / m_scale > w) break;  // calls come by start
        i = paint(i);
    }
}

int TimelineView::CallAt(const QPoint& pos) const {
    if (!m_profiler) return -1;
    const auto& calls = m_profiler->Calls();
    const auto depth = std::uint32_t(pos.y() / kRowHeight);
    const double t = m_from + pos.x() * m_scale;
    // The last call starting at or before t; then back to one at that depth that holds t.
    auto it = std::upper_bound(calls.begin(), calls.end(), t,
                               [](double time, const Profiler::Call& c) { return time < double(c.start); });
    while (it != calls.begin()) {
        --it;
        if (it->depth == depth && double(EndOf(*it)) >= t - m_scale) return int(it - calls.begin());
        if (it->depth < depth && double(EndOf(*it)) < t) return -1;  // the caller ended before: nothing here
    }
    return -1;
}

bool TimelineView::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip && m_profiler) {
        auto* help = static_cast<QHelpEvent*>(e);
        const int index = CallAt(help->pos());
        if (index < 0) {
            QToolTip::hideText();
            return true;
        }
        const Profiler::Call& call = m_profiler->Calls()[std::size_t(index)];
        const QString name =
            QString::fromStdString(messaging::CodePageToUtf8(m_profiler->Names()[call.name]));
        const QString duration = call.end < 0 ? QStringLiteral("still open")
                                              : QString::fromStdString(DurationText(call.end - call.start));
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1\n%2, record %3, %4 messages")
                               .arg(name, duration)
                               .arg(call.record)
                               .arg(call.messages),
                           this);
        return true;
    }
    return QWidget::event(e);
}

void TimelineView::wheelEvent(QWheelEvent* event) {
    const int notches = event->angleDelta().y();
    if (notches == 0) return;
    ZoomAround(int(event->position().x()), std::pow(0.8, notches / 120.0));
    event->accept();
}

void TimelineView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragFrom = event->position().toPoint();
    m_dragStart = m_from;
    m_dragged = false;
}

void TimelineView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton)) return;
    const int dx = event->position().toPoint().x() - m_dragFrom.x();
    if (std::abs(dx) > 2) m_dragged = true;
    if (!m_dragged) return;
    m_from = m_dragStart - dx * m_scale;
    m_zoomed = true;
    update();
}

void TimelineView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_dragged || !m_profiler) return;
    const int index = CallAt(event->position().toPoint());
    if (index >= 0) emit callChosen(m_profiler->Calls()[std::size_t(index)].entryLine);
}

}  // namespace tw::viewer
