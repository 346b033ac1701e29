#pragma once
// Reading a live trace: following new lines ("Follow New Lines" in Options, with a toolbar
// toggle), the quick filter bar (Ctrl+L), every match of its pattern (or of the last Find)
// marked in the trace, Find Next Match and Find Previous Match going round the ends of the
// page, Expand All and Collapse All, a detail pane for the selected line, and the View menu
// that holds these commands with the optional time columns. Everything here is an addition to
// the window's own menus and toolbar; it changes no existing command.

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;

#include "tw/display/quick_filter.hpp"
#include "tw/display/time_columns.hpp"

namespace tw::viewer {
class DetailPane;
class TraceView;
class MatchHighlighter;
class QuickFilterBar;
class TraceTree;
}

namespace tw::window {

class FrmMain;

class LiveView : public QObject {
    Q_OBJECT
public:
    // Adds its menu items and toolbar to the window (object name "liveView"); the window's
    // viewer must exist.
    explicit LiveView(FrmMain& form);

    viewer::QuickFilterBar& QuickFilter() const { return *m_quickFilter; }
    viewer::MatchHighlighter& Highlighter() const { return *m_highlighter; }
    // The tree the current page shows: the quick filter's while it is active.
    viewer::TraceTree& ShownTree() const;
    // Selects the next (forward) or previous line that matches the marked pattern, going
    // round the ends with a note in the status bar.
    void StepMatch(bool forward);
    viewer::DetailPane& Details() const { return *m_details; }
    QDockWidget* DetailDock() const { return m_detailDock; }
    // The view the current page shows: the quick filter's while it is active.
    viewer::TraceView* ShownView() const;
    // Shows the chosen time columns (none: the trace as it always was) and remembers them.
    void SetTimeColumns(const std::vector<viewer::TimeColumn>& columns);
    const std::vector<viewer::TimeColumn>& TimeColumns() const { return m_timeColumns; }
    // The note field's text.
    QString NoteText() const;
    // Writes a short note into the status bar's note field (cleared after a few seconds).
    void Note(const QString& text);
    // From the selected line of a filter page or of the quick filter: the default page with
    // the quick filter cleared and the same message selected and in sight. Returns whether
    // there was such a line.
    bool GoToLineInTrace();

private:
    void FollowOptionChanged(bool on);
    void ShowFollowState();
    void Present(viewer::TraceView* view);
    void UpdateHighlight();
    void FindUsed();
    void UpdateDetails();
    void TimeColumnsChosen();

    FrmMain& m_form;
    QAction* m_follow = nullptr;
    QToolBar* m_bar = nullptr;
    QLabel* m_note = nullptr;
    QLabel* m_followState = nullptr;       // "Paused: 12 new lines" beside Follow
    QAction* m_followStateAction = nullptr;  // its place on the toolbar
    int m_linesAtPause = 0;                  // lines of the shown tree when following paused
    const viewer::TraceView* m_pausedFollower = nullptr;
    QMenu* m_viewMenu = nullptr;
    viewer::QuickFilterBar* m_quickFilter = nullptr;
    std::shared_ptr<viewer::MatchHighlighter> m_highlighter;
    viewer::DetailPane* m_details = nullptr;
    QDockWidget* m_detailDock = nullptr;
    std::vector<viewer::TimeColumn> m_timeColumns;
    std::vector<QAction*> m_timeActions;  // Date, Time, Elapsed, Delta
    viewer::QuickPattern m_lastFind;  // what the last Find or Find Next looked for
};

}  // namespace tw::window
