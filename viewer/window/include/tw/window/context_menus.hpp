#pragma once
// Right-click menus of the main window's trees: a menu pops up at the pointer when the right
// button is pressed or released over a view. The right button never moves the current line.

#include <QObject>
#include <QPointer>

#include <vector>

class QAbstractItemView;
class QMenu;

namespace tw::window {

class ContextMenus : public QObject {
    Q_OBJECT
public:
    enum class When { Press, Release };

    explicit ContextMenus(QObject* parent = nullptr) : QObject(parent) {}

    // Pops up menu at the pointer when the right button goes down (Press) or up (Release) over
    // view. A view may be attached once; attaching it again replaces its binding.
    void Attach(QAbstractItemView* view, When when, QMenu* menu);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        QPointer<QObject> viewport;
        When when;
        QPointer<QMenu> menu;
    };
    std::vector<Binding> m_bindings;
};

}  // namespace tw::window
