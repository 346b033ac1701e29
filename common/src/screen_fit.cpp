#include "tw/common/screen_fit.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tw {
namespace {

QRect AvailableArea(const QWidget& window) {
    const QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

// The frame's share of the outer size (caption, borders), where the window system tells it.
QSize FrameExtra(const QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    return {std::max(0, frame.width() - inner.width()), std::max(0, frame.height() - inner.height())};
}

}  // namespace

void FitOnScreen(QWidget& window, double share) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    const QSize extra = FrameExtra(window);
    QSize size = window.size();
    if (share > 0) size = size.expandedTo(QSize(int(area.width() * share), int(area.height() * share)));
    size = size.boundedTo(area.size() - extra);
    size = size.expandedTo(window.minimumSize());
    window.resize(size);
    const QSize outer = size + extra;
    window.move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
}

void KeepOnScreen(QWidget& window) {
    const QRect area = AvailableArea(window);
    if (area.isEmpty()) return;
    const QSize extra = FrameExtra(window);
    const QSize size = window.size().boundedTo(area.size() - extra).expandedTo(window.minimumSize());
    if (size != window.size()) window.resize(size);
    const QSize outer = size + extra;
    QPoint at = window.pos();
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
    if (at != window.pos()) window.move(at);
}

}  // namespace tw
