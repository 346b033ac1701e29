#include "tw/window/live_view.hpp"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include "display/line_follower.hpp"
#include "display/quick_filter_bar.hpp"
#include "display/trace_view.hpp"
#include "display/viewer.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

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
    connect(m_quickFilter, &viewer::QuickFilterBar::filteredViewChanged, this, [this](viewer::TraceView* view) {
        if (view) Follow(view);
    });

    m_note = new QLabel(form.controls().sbrStatus);
    m_note->setObjectName(QStringLiteral("lblLiveNote"));
    form.controls().sbrStatus->addPermanentWidget(m_note);

    viewer::Viewer& v = form.Viewer();
    for (int page = 0; page < 5; ++page) Follow(v.View(page));
}

void LiveView::Follow(QTreeView* view) {
    if (!view) return;
    auto* follower = new viewer::LineFollower(view);
    follower->SetEnabled(m_follow->isChecked());
    m_followers.push_back(follower);
}

viewer::LineFollower* LiveView::FollowerOf(const QTreeView* view) const {
    for (const auto& f : m_followers)
        if (f && f->parent() == view) return f;
    return nullptr;
}

void LiveView::FollowOptionChanged(bool on) {
    for (const auto& f : m_followers)
        if (f) f->SetEnabled(on);
}

void LiveView::Note(const QString& text) {
    m_note->setText(text);
    QTimer::singleShot(kNoteMilliseconds, m_note, [label = m_note, text] {
        if (label->text() == text) label->clear();
    });
}

}  // namespace tw::window
