#include "tw/window/context_menus.hpp"

#include <QAbstractItemView>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>

namespace tw::window {

void ContextMenus::Attach(QAbstractItemView* view, When when, QMenu* menu) {
    if (!view || !menu) return;
    QWidget* viewport = view->viewport();
    std::erase_if(m_bindings, [viewport](const Binding& b) { return b.viewport == viewport; });
    m_bindings.push_back({viewport, when, menu});
    viewport->removeEventFilter(this);
    viewport->installEventFilter(this);
}

bool ContextMenus::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::RightButton) return false;
    for (const Binding& b : m_bindings) {
        if (b.viewport != watched || !b.menu) continue;
        const When when = type == QEvent::MouseButtonRelease ? When::Release : When::Press;
        if (when == b.when) b.menu->popup(mouse->globalPosition().toPoint());
        // The right button only opens the menu; it leaves the selection where it was.
        return true;
    }
    return false;
}

}  // namespace tw::window
