#include "tw/window/live_view.hpp"

#include "tw/display/detail_pane.hpp"
#include "tw/display/dlg_find.hpp"
#include "tw/display/marks.hpp"
#include "tw/display/match_highlight.hpp"
#include "tw/display/quick_filter_bar.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/mark_commands.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QDockWidget>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>

namespace tw::window {

namespace {
constexpr int kNoteMilliseconds = 4000;
}  // namespace

LiveView::LiveView(FrmMain& form) : QObject(&form), m_form(form) {
    setObjectName(QStringLiteral("liveView"));

    // Options: Follow New Lines, checked from the start.
    m_follow = form.commands().Add(QStringLiteral("mnuOptionsFollow"), QStringLiteral("Follow New Lines"));
    m_follow->setCheckable(true);
    m_follow->setChecked(true);
    m_follow->setIconText(QStringLiteral("Follow"));
    m_follow->setToolTip(QStringLiteral("Follow New Lines"));
    if (QMenu* options = form.Menu(QStringLiteral("mnuOptions"))) options->addAction(m_follow);
    connect(m_follow, &QAction::toggled, this, &LiveView::FollowOptionChanged);

    // A toolbar of its own in a row under the main one.
    m_bar = new QToolBar(&form);
    m_bar->setObjectName(QStringLiteral("tbrLive"));
    m_bar->setMovable(false);
    m_bar->setFloatable(false);
    m_bar->setIconSize(QSize(16, 16));
    m_bar->toggleViewAction()->setVisible(false);
    m_bar->addAction(m_follow);
    // Following paused (the user scrolled up or chose a line above the last): said beside the
    // button, with the lines that came meanwhile; End or the Last command follows again.
    m_followState = new QLabel(m_bar);
    m_followState->setObjectName(QStringLiteral("lblFollowPaused"));
    m_followState->setContentsMargins(4, 0, 4, 0);
    m_followStateAction = m_bar->addWidget(m_followState);
    m_followStateAction->setVisible(false);
    form.addToolBarBreak(Qt::TopToolBarArea);
    form.addToolBar(Qt::TopToolBarArea, m_bar);

    // View, a menu of its own between Edit and Search.
    m_viewMenu = new QMenu(QStringLiteral("&View"), form.menuBar());
    m_viewMenu->setObjectName(QStringLiteral("mnuView"));
    if (QMenu* search = form.Menu(QStringLiteral("mnuSearch")))
        form.menuBar()->insertMenu(search->menuAction(), m_viewMenu);
    else
        form.menuBar()->addMenu(m_viewMenu);

    // The quick filter bar on the toolbar; Ctrl+L goes to its field.
    m_quickFilter = new viewer::QuickFilterBar(form.Viewer(), m_bar);
    m_bar->addSeparator();
    m_bar->addWidget(m_quickFilter);
    QAction* focus = form.commands().Add(QStringLiteral("mnuViewQuickFilter"), QStringLiteral("&Quick Filter"),
                                         QKeySequence(QStringLiteral("Ctrl+L")));
    m_viewMenu->addAction(focus);
    connect(focus, &QAction::triggered, m_quickFilter, &viewer::QuickFilterBar::FocusField);
    // From a line of a filter page or of the quick filter to its place in the whole trace:
    // the Search menu's item (also on the trace's right button), or a double-click.
    QAction* goToTrace = form.commands().Add(QStringLiteral("mnuSearchGoToTrace"), QStringLiteral("Go to Line in &Trace"));
    if (QMenu* search = form.Menu(QStringLiteral("mnuSearch"))) {
        search->addSeparator();
        search->addAction(goToTrace);
    }
    connect(goToTrace, &QAction::triggered, this, [this] {
        if (!GoToLineInTrace()) Note(QStringLiteral("Choose a line of a filter page or of the quick filter first."));
    });
    for (int page = 1; page < 5; ++page)
        if (viewer::TraceView* view = form.Viewer().View(page))
            connect(view, &viewer::TraceView::lineActivated, this, [this] { GoToLineInTrace(); }, Qt::QueuedConnection);

    // Every line shown, or only the top level.
    QAction* expandAll = form.commands().Add(QStringLiteral("mnuViewExpandAll"), QStringLiteral("E&xpand All"));
    QAction* collapseAll = form.commands().Add(QStringLiteral("mnuViewCollapseAll"), QStringLiteral("&Collapse All"));
    m_viewMenu->addAction(expandAll);
    m_viewMenu->addAction(collapseAll);
    if (QMenu* search = form.Menu(QStringLiteral("mnuSearch"))) {
        search->addAction(expandAll);
        search->addAction(collapseAll);
    }
    connect(expandAll, &QAction::triggered, this, [this] {
        if (viewer::TraceView* view = ShownView()) view->ExpandAll();
    });
    connect(collapseAll, &QAction::triggered, this, [this] {
        if (viewer::TraceView* view = ShownView()) view->CollapseAll();
    });
    m_viewMenu->addSeparator();

    connect(m_quickFilter, &viewer::QuickFilterBar::filteredViewChanged, this, [this](viewer::TraceView* view) {
        if (view) {
            // Queued: going to the trace clears the quick filter, which drops this view.
            connect(view, &viewer::TraceView::lineActivated, this, [this] { GoToLineInTrace(); }, Qt::QueuedConnection);
            Present(view);
            if (viewer::Marks* marks = MarksOf(m_form)) marks->Attach(view);
        }
        UpdateDetails();
        ShowFollowState();
    });

    m_note = new QLabel(form.controls().sbrStatus);
    m_note->setObjectName(QStringLiteral("lblLiveNote"));
    form.controls().sbrStatus->addPermanentWidget(m_note);

    // Matches marked in every trace view; stepping from match to match.
    m_highlighter = std::make_shared<viewer::MatchHighlighter>();
    QAction* next = form.commands().Add(QStringLiteral("mnuViewFindNextMatch"), QStringLiteral("Find &Next Match"),
                                        QKeySequence(QStringLiteral("Ctrl+F3")));
    QAction* previous = form.commands().Add(QStringLiteral("mnuViewFindPreviousMatch"),
                                            QStringLiteral("Find &Previous Match"), QKeySequence(QStringLiteral("Shift+F3")));
    next->setIconText(QString(QChar(0x25BC)));
    previous->setIconText(QString(QChar(0x25B2)));
    next->setToolTip(QStringLiteral("Find Next Match (Ctrl+F3)"));
    previous->setToolTip(QStringLiteral("Find Previous Match (Shift+F3)"));
    m_viewMenu->addAction(next);
    m_viewMenu->addAction(previous);
    m_bar->addAction(previous);
    m_bar->addAction(next);
    connect(next, &QAction::triggered, this, [this] { StepMatch(true); });
    connect(previous, &QAction::triggered, this, [this] { StepMatch(false); });
    connect(m_quickFilter, &viewer::QuickFilterBar::patternApplied, this, &LiveView::UpdateHighlight);
    // The Find commands run their own handlers first (connected earlier); then the dialog
    // holds what they looked for.
    for (const char* name : {"mnuSearchFind", "mnuSearchFindNext"})
        if (QAction* find = form.commands().Action(QString::fromLatin1(name)))
            connect(find, &QAction::triggered, this, &LiveView::FindUsed);

    // The detail pane, docked beside the trace; hidden until chosen, then remembered.
    m_details = new viewer::DetailPane;
    m_detailDock = new QDockWidget(QStringLiteral("Details"), &form);
    m_detailDock->setObjectName(QStringLiteral("dockDetail"));
    m_detailDock->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    m_detailDock->setWidget(m_details);
    form.addDockWidget(Qt::RightDockWidgetArea, m_detailDock);
    m_detailDock->hide();
    QAction* detail = m_detailDock->toggleViewAction();
    detail->setObjectName(QStringLiteral("mnuViewDetailPane"));
    detail->setText(QStringLiteral("&Detail Pane"));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(detail);
    m_detailDock->setVisible(settings::Bool(QStringLiteral("view/detailPane"), false));
    // Saved when the user chooses, not when the window goes and takes the pane with it.
    connect(detail, &QAction::triggered, this,
            [](bool on) { settings::Set(QStringLiteral("view/detailPane"), on); });
    // Filled as the pane shows (not when it is chosen, before it is visible), and emptied
    // with the page it describes.
    connect(m_detailDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) UpdateDetails();
    });
    connect(&form, &FrmMain::currentViewerCleared, this, &LiveView::UpdateDetails);
    if (QTabWidget* tabs = form.Viewer().TabWidget()) {
        connect(tabs, &QTabWidget::currentChanged, this, &LiveView::UpdateDetails);
        connect(tabs, &QTabWidget::currentChanged, this, &LiveView::ShowFollowState);
    }

    // Time columns: none by default, so lines read as they always did; the choice is kept.
    m_viewMenu->addSeparator();
    const std::pair<viewer::TimeColumn, const char*> columns[] = {{viewer::TimeColumn::Time, "mnuViewTime"},
                                                                  {viewer::TimeColumn::Date, "mnuViewDate"},
                                                                  {viewer::TimeColumn::Elapsed, "mnuViewElapsed"},
                                                                  {viewer::TimeColumn::Delta, "mnuViewDelta"}};
    m_timeActions.resize(4);
    for (const auto& [column, name] : columns) {
        QAction* action = form.commands().Add(QString::fromLatin1(name), viewer::TimeColumnCaption(column));
        action->setCheckable(true);
        action->setData(int(column));
        m_viewMenu->addAction(action);
        m_timeActions[std::size_t(column)] = action;
        connect(action, &QAction::triggered, this, &LiveView::TimeColumnsChosen);
    }

    viewer::Viewer& v = form.Viewer();
    for (int page = 0; page < 5; ++page) Present(v.View(page));

    std::vector<viewer::TimeColumn> remembered;
    for (const QString& caption : settings::StringList(QStringLiteral("view/timeColumns"))) {
        viewer::TimeColumn column;
        if (viewer::TimeColumnFromCaption(caption, column)) remembered.push_back(column);
    }
    SetTimeColumns(remembered);
}

void LiveView::Present(viewer::TraceView* view) {
    if (!view) return;
    view->SetFollowing(m_follow->isChecked());
    connect(view, &viewer::TraceView::followStateChanged, this, &LiveView::ShowFollowState);
    view->SetHighlighter(m_highlighter);
    view->SetTimeColumns(m_timeColumns);
    connect(view, &viewer::TraceView::currentLineChanged, this, [this, view] {
        if (view == ShownView()) UpdateDetails();
    });
}

void LiveView::TimeColumnsChosen() {
    std::vector<viewer::TimeColumn> chosen;
    for (QAction* action : m_timeActions)
        if (action->isChecked()) chosen.push_back(viewer::TimeColumn(action->data().toInt()));
    SetTimeColumns(chosen);
}

void LiveView::SetTimeColumns(const std::vector<viewer::TimeColumn>& columns) {
    // Always in the order Date, Time, Elapsed, Delta, each once.
    m_timeColumns.clear();
    for (int k = 0; k < 4; ++k) {
        const bool on = std::find(columns.begin(), columns.end(), viewer::TimeColumn(k)) != columns.end();
        if (on) m_timeColumns.push_back(viewer::TimeColumn(k));
        m_timeActions[std::size_t(k)]->setChecked(on);
    }
    QStringList captions;
    for (viewer::TimeColumn column : m_timeColumns) captions << viewer::TimeColumnCaption(column);
    settings::Set(QStringLiteral("view/timeColumns"), captions);
    viewer::Viewer& v = m_form.Viewer();
    for (int page = 0; page < 5; ++page)
        if (viewer::TraceView* view = v.View(page)) view->SetTimeColumns(m_timeColumns);
    if (viewer::TraceView* view = m_quickFilter->FilteredView()) view->SetTimeColumns(m_timeColumns);
}

viewer::TraceView* LiveView::ShownView() const {
    if (viewer::TraceView* filtered = m_quickFilter->FilteredView()) return filtered;
    viewer::Viewer& v = m_form.Viewer();
    return v.View(v.CurrentPage());
}

void LiveView::UpdateDetails() {
    if (!m_detailDock->isVisible()) return;
    viewer::TraceView* view = ShownView();
    viewer::TraceTree* tree = view ? view->Tree() : nullptr;
    m_details->ShowLine(tree, tree ? tree->Selected() : 0);
}

void LiveView::ShowFollowState() {
    const viewer::TraceView* follower = ShownView();
    const bool paused = follower && follower->IsFollowing() && follower->IsFollowPaused();
    // Lines that came since the pause began, counted in the tree the shown view shows.
    const int lines = ShownTree().Count();
    if (!paused || !m_followStateAction->isVisible() || m_pausedFollower != follower || lines < m_linesAtPause) {
        m_linesAtPause = lines;
        m_pausedFollower = follower;
    }
    if (paused) {
        const int arrived = lines - m_linesAtPause;
        m_followState->setText(arrived == 0 ? QStringLiteral("Paused")
                                            : QStringLiteral("Paused: %1 new line%2")
                                                  .arg(QLocale().toString(arrived), arrived == 1 ? "" : "s"));
    }
    m_followStateAction->setVisible(paused);
}

void LiveView::FollowOptionChanged(bool on) {
    viewer::Viewer& v = m_form.Viewer();
    for (int page = 0; page < 5; ++page)
        if (viewer::TraceView* view = v.View(page)) view->SetFollowing(on);
    if (viewer::TraceView* view = m_quickFilter->FilteredView()) view->SetFollowing(on);
    ShowFollowState();
}

void LiveView::Note(const QString& text) {
    m_note->setText(text);
    QTimer::singleShot(kNoteMilliseconds, m_note, [label = m_note, text] {
        if (label->text() == text) label->clear();
    });
}

}  // namespace tw::window

namespace tw::window {

viewer::TraceTree& LiveView::ShownTree() const {
    viewer::TraceTree* filtered = m_quickFilter->Filter().Filtered();
    return filtered ? *filtered : m_form.Viewer().GetCurrent();
}

QString LiveView::NoteText() const { return m_note->text(); }

void LiveView::FindUsed() {
    const auto* dialog = m_form.findChild<viewer::DlgFind*>(QStringLiteral("dlgFind"));
    if (!dialog || dialog->SearchText().isEmpty()) return;
    m_lastFind = {dialog->SearchText(), false, dialog->MatchCase()};
    UpdateHighlight();
}

void LiveView::UpdateHighlight() {
    const viewer::QuickFilter& filter = m_quickFilter->Filter();
    m_highlighter->SetPattern(filter.IsActive() ? filter.Pattern() : m_lastFind);
    viewer::Viewer& v = m_form.Viewer();
    for (int page = 0; page < 5; ++page)
        if (viewer::TraceView* view = v.View(page)) view->MarksChanged();
    if (viewer::TraceView* view = m_quickFilter->FilteredView()) view->MarksChanged();
}

void LiveView::StepMatch(bool forward) {
    const viewer::QuickPattern& pattern = m_highlighter->Pattern();
    if (pattern.text.isEmpty()) {
        Note(QStringLiteral("Nothing to find: type in the quick filter or use Find."));
        return;
    }
    viewer::TraceTree& tree = ShownTree();
    const viewer::MatchStep step = viewer::FindMatch(tree, pattern, tree.Selected(), forward);
    if (!step.line) {
        Note(QStringLiteral("No line matches \"%1\".").arg(pattern.text));
        return;
    }
    tree.Select(step.line);
    if (step.wrapped)
        Note(forward ? QStringLiteral("Passed the last line: continued from the first.")
                     : QStringLiteral("Passed the first line: continued from the last."));
    else
        m_note->clear();
}

bool LiveView::GoToLineInTrace() {
    viewer::Viewer& v = m_form.Viewer();
    const viewer::TraceTree& shown = ShownTree();
    const int line = shown.Selected();
    const bool filtered = m_quickFilter->Filter().IsActive() || v.CurrentPage() != 0;
    if (!filtered || line == 0) return false;
    const viewer::MessageSink* message = &shown.Message(line);
    m_quickFilter->ClearField();
    if (QTabWidget* tabs = v.TabWidget()) tabs->setCurrentIndex(0);
    // A filter page's lines share their messages with the default page's.
    viewer::TraceTree& trace = v.GetDefault();
    for (int i = 1; i <= trace.Count(); ++i) {
        if (&trace.Message(i) == message) {
            trace.Select(i);
            return true;
        }
    }
    Note(QStringLiteral("The line is no longer in the trace."));
    return true;
}

}  // namespace tw::window
