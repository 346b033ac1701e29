#pragma once
// Which formula is slow: the profile of the default page (View > Profile), kept up as messages
// arrive; the profile written as CSV or the run as a Chrome trace (File > Export...); and
// View > Nest by Calls, the trace drawn with the call stack's nesting. Additions to the window's
// own menus; nothing of them changes an existing command.

#include "tw/core/profiler.hpp"
#include "tw/core/trace_tree.hpp"

#include <QObject>
#include <QTimer>

class QAction;
class QComboBox;
class QDockWidget;
class QLabel;
class QStandardItemModel;
class QTableView;

namespace tw::viewer {
class TimelineView;
}

namespace tw::window {

class FrmMain;

class ProfileView : public QObject, private viewer::TraceTreeObserver {
    Q_OBJECT
  public:
    explicit ProfileView(FrmMain& form);
    ~ProfileView() override;

    // The profile of the default page as it stands (built again first when lines went).
    const viewer::Profiler& Profile();
    // Fills the tables now (a timer does it while the pane is shown).
    void Refresh();
    QDockWidget* Dock() const { return m_dock; }
    viewer::TimelineView* Timeline() const { return m_timeline; }

  private:
    void LinesAppended() override;
    void LinesRemoved(int, int) override { m_stale = true; }
    void Cleared() override { m_stale = true; }
    void TreeDestroyed() override { m_tree = nullptr; }
    void Rebuild();
    void AddLine(int line);
    void GoToSlowest(int row);

    FrmMain& m_form;
    viewer::TraceTree* m_tree;
    viewer::Profiler m_profiler;
    // Lines were removed, or arrived while no pane was shown: the profile is made again before
    // it is read.
    bool m_stale = false;
    bool m_changed = true;
    bool m_sorted = false;  // sorted by total once; then as the user chooses
    QDockWidget* m_dock = nullptr;
    QLabel* m_summary = nullptr;
    QComboBox* m_pass = nullptr;
    QTableView* m_table = nullptr;
    QTableView* m_byRecord = nullptr;
    QStandardItemModel* m_model = nullptr;
    QStandardItemModel* m_recordModel = nullptr;
    QTimer m_refresh;
    viewer::TimelineView* m_timeline = nullptr;
    QDockWidget* m_timelineDock = nullptr;
};

}  // namespace tw::window
