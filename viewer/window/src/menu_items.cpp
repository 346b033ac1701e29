#include "tw/window/menu_items.hpp"

#include <QAction>
#include <QMenu>

namespace tw::window {

namespace {

// The action that follows the named item, nullptr when it is the last or missing.
QAction* ActionAfter(QMenu& menu, const QString& after) {
    const QList<QAction*> actions = menu.actions();
    for (qsizetype i = 0; i < actions.size(); ++i) {
        QAction* a = actions[i];
        const bool named = a->objectName() == after || (a->menu() && a->menu()->objectName() == after);
        if (named) return i + 1 < actions.size() ? actions[i + 1] : nullptr;
    }
    return nullptr;
}

}  // namespace

void InsertMenuItemAfter(QMenu* menu, const QString& after, QAction* action) {
    if (!menu || !action) return;
    menu->insertAction(ActionAfter(*menu, after), action);
}

QMenu* InsertSubmenuAfter(QMenu* menu, const QString& after, const QString& name, const QString& caption) {
    if (!menu) return nullptr;
    auto* sub = new QMenu(caption, menu);
    sub->setObjectName(name);
    menu->insertMenu(ActionAfter(*menu, after), sub);
    return sub;
}

}  // namespace tw::window
