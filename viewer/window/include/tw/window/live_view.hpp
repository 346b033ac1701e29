#pragma once
// Reading a live trace: following new lines ("Follow New Lines" in Options, with a toolbar
// toggle), the quick filter bar (Ctrl+L), and the View menu that holds their commands. Everything here is an addition to the
// window's own menus and toolbar; it changes no existing command.

#include <QObject>
#include <QPointer>

#include <vector>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QTreeView;

namespace tw::viewer {
class LineFollower;
class QuickFilterBar;
}

namespace tw::window {

class FrmMain;

class LiveView : public QObject {
    Q_OBJECT
public:
    // Adds its menu items and toolbar to the window (object name "liveView"); the window's
    // viewer must exist.
    explicit LiveView(FrmMain& form);

    // The follower of a trace view (nullptr for a view it does not know).
    viewer::LineFollower* FollowerOf(const QTreeView* view) const;
    viewer::QuickFilterBar& QuickFilter() const { return *m_quickFilter; }
    // Writes a short note into the status bar's note field (cleared after a few seconds).
    void Note(const QString& text);

private:
    void Follow(QTreeView* view);
    void FollowOptionChanged(bool on);

    FrmMain& m_form;
    QAction* m_follow = nullptr;
    QToolBar* m_bar = nullptr;
    QLabel* m_note = nullptr;
    QMenu* m_viewMenu = nullptr;
    viewer::QuickFilterBar* m_quickFilter = nullptr;
    std::vector<QPointer<viewer::LineFollower>> m_followers;
};

}  // namespace tw::window
