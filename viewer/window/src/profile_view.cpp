#include "tw/window/profile_view.hpp"

#include "tw/core/message_manager.hpp"
#include "tw/core/message_types.hpp"
#include "tw/display/timeline_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/messaging/codepage.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

namespace tw::window {

namespace {

constexpr int kRefreshMs = 500;
constexpr int kSortRole = Qt::UserRole;
constexpr int kLineRole = Qt::UserRole + 1;

QString Text(const std::string& codePage) {
    return QString::fromStdString(messaging::CodePageToUtf8(codePage));
}

QStandardItem* Number(qint64 value, const QString& shown) {
    auto* item = new QStandardItem(shown);
    item->setData(value, kSortRole);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    item->setEditable(false);
    return item;
}

QStandardItem* Time(qint64 micros, bool timed) {
    return Number(micros, timed ? QString::fromStdString(viewer::DurationText(micros)) : QString());
}

QTableView* MakeTable(const QString& name, QStandardItemModel* model) {
    auto* table = new QTableView;
    table->setObjectName(name);
    table->setModel(model);
    table->setSortingEnabled(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

}  // namespace

ProfileView::ProfileView(FrmMain& form) : QObject(&form), m_form(form), m_tree(&form.Viewer().GetDefault()) {
    setObjectName(QStringLiteral("profileView"));
    m_tree->AddObserver(this);
    m_stale = true;  // made when a pane shows

    m_model = new QStandardItemModel(this);
    m_model->setSortRole(kSortRole);
    m_model->setHorizontalHeaderLabels(
        {QStringLiteral("Formula"), QStringLiteral("Calls"), QStringLiteral("Total"), QStringLiteral("Self"),
         QStringLiteral("Self \u2248"), QStringLiteral("Mean"), QStringLiteral("Max"),
         QStringLiteral("Max at record"), QStringLiteral("Messages")});
    m_recordModel = new QStandardItemModel(this);
    m_recordModel->setSortRole(kSortRole);
    m_recordModel->setHorizontalHeaderLabels({QStringLiteral("Pass"), QStringLiteral("Record"),
                                              QStringLiteral("Time"), QStringLiteral("Messages"),
                                              QStringLiteral("Top formulas")});

    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(4, 4, 4, 4);
    m_summary = new QLabel(pane);
    m_summary->setObjectName(QStringLiteral("lblProfileSummary"));
    m_summary->setWordWrap(true);
    m_pass = new QComboBox(pane);
    m_pass->setObjectName(QStringLiteral("cboProfilePass"));
    m_pass->setAccessibleName(QStringLiteral("Pass"));
    m_pass->hide();
    auto* tabs = new QTabWidget(pane);
    m_table = MakeTable(QStringLiteral("tblProfile"), m_model);
    m_table->setAccessibleName(QStringLiteral("Profile"));
    m_byRecord = MakeTable(QStringLiteral("tblByRecord"), m_recordModel);
    m_byRecord->setAccessibleName(QStringLiteral("By record"));
    tabs->addTab(m_table, QStringLiteral("Profile"));
    tabs->addTab(m_byRecord, QStringLiteral("By record"));
    layout->addWidget(m_summary);
    layout->addWidget(m_pass);
    layout->addWidget(tabs);

    m_dock = new QDockWidget(QStringLiteral("Profile"), &form);
    m_dock->setObjectName(QStringLiteral("dockProfile"));
    m_dock->setWidget(pane);
    form.addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    QAction* show = m_dock->toggleViewAction();
    show->setObjectName(QStringLiteral("mnuViewProfile"));
    show->setText(QStringLiteral("&Profile"));

    // The timeline: a dock of its own, shown by View > Timeline.
    m_timeline = new viewer::TimelineView;
    m_timeline->SetProfiler(&m_profiler);
    m_timelineDock = new QDockWidget(QStringLiteral("Timeline"), &form);
    m_timelineDock->setObjectName(QStringLiteral("dockTimeline"));
    m_timelineDock->setWidget(m_timeline);
    form.addDockWidget(Qt::BottomDockWidgetArea, m_timelineDock);
    form.tabifyDockWidget(m_dock, m_timelineDock);  // both shown: one above the other's tab
    m_timelineDock->hide();
    QAction* timeline = m_timelineDock->toggleViewAction();
    timeline->setObjectName(QStringLiteral("mnuViewTimeline"));
    timeline->setText(QStringLiteral("&Timeline"));
    connect(m_timeline, &viewer::TimelineView::callChosen, this, [this](int line) {
        if (!m_tree || line < 1 || line > m_tree->Count()) return;
        m_form.Viewer().SetCurrentPage(0);
        m_tree->Select(line);
    });
    connect(m_timelineDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) {
            Refresh();
            m_refresh.start();
        } else if (!m_dock->isVisible()) {
            m_refresh.stop();
        }
    });

    // Nest by Calls: off by default, remembered.
    QAction* nest =
        form.commands().Add(QStringLiteral("mnuViewNestByCalls"), QStringLiteral("Nest &by Calls"));
    nest->setCheckable(true);
    if (QMenu* view = form.Menu(QStringLiteral("mnuView"))) {
        view->addSeparator();
        view->addAction(show);
        view->addAction(timeline);
        view->addAction(nest);
    }
    connect(nest, &QAction::toggled, this, [this](bool on) {
        m_form.MessageManager().SetNestByCalls(on);
        settings::Set(QStringLiteral("view/nestByCalls"), on);
    });
    nest->setChecked(settings::Bool(QStringLiteral("view/nestByCalls"), false));

    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (m_changed || m_stale) Refresh();
    });
    connect(m_dock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (visible) {
            Refresh();
            m_refresh.start();
        } else if (!m_timelineDock->isVisible()) {
            m_refresh.stop();
        }
    });
    connect(m_pass, &QComboBox::currentIndexChanged, this, [this] { Refresh(); });
    connect(m_table, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { GoToSlowest(index.row()); });
    connect(m_table, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { GoToSlowest(index.row()); });
}

ProfileView::~ProfileView() {
    if (m_tree) m_tree->RemoveObserver(this);
}

void ProfileView::AddLine(int line) {
    static thread_local std::string name;
    const viewer::MessageSink& m = m_tree->Message(line);
    const qint32 type = m.MessageType();
    name.clear();
    if (viewer::EntersLevel(type)) m.AppendMessageBytes(name);
    m_profiler.Add(type, m.RecordNumber(), name, m_tree->ReceivedAt(line), line);
}

void ProfileView::LinesAppended() {
    m_changed = true;
    // While neither pane is shown, arrivals cost nothing: the profile is made when one shows.
    if (!m_dock->isVisible() && !m_timelineDock->isVisible()) m_stale = true;
    if (!m_stale && m_tree) AddLine(m_tree->Count());
}

void ProfileView::Rebuild() {
    m_profiler.Clear();
    m_stale = false;
    m_changed = true;
    if (!m_tree) return;
    for (int line = 1; line <= m_tree->Count(); ++line) AddLine(line);
}

const viewer::Profiler& ProfileView::Profile() {
    if (m_stale) Rebuild();
    return m_profiler;
}

void ProfileView::Refresh() {
    const viewer::Profiler& p = Profile();
    m_changed = false;
    m_timeline->CallsChanged();
    const bool timed = p.HasTimes();
    // The pass selector, when record numbers began again.
    const int passes = p.PassCount();
    if (m_pass->count() != passes + 1) {
        const QSignalBlocker block(m_pass);
        const int chosen = m_pass->currentIndex();
        m_pass->clear();
        m_pass->addItem(QStringLiteral("All passes"));
        for (int k = 1; k <= passes; ++k) m_pass->addItem(QStringLiteral("Pass %1").arg(k));
        m_pass->setCurrentIndex(chosen >= 0 && chosen <= passes ? chosen : 0);
    }
    m_pass->setVisible(passes > 1);
    const int pass = m_pass->currentIndex() - 1;

    QStringList notes;
    notes << QStringLiteral("%1 calls in %2 messages.").arg(p.Calls().size()).arg(p.Messages());
    if (!timed)
        notes << QStringLiteral("The lines have no times: calls and messages only.");
    else if (p.SendCost() > 0)
        notes << QStringLiteral(
                     "One send costs about %1 here (the median gap between back-to-back messages); "
                     "\"Self \u2248\" takes the sends of each call's messages out.")
                     .arg(QString::fromStdString(viewer::DurationText(p.SendCost())));
    if (passes > 1)
        notes << QStringLiteral("Record numbers began again: %1 passes, shown apart.").arg(passes);
    if (p.StrayExits())
        notes << QStringLiteral("%1 exits with no call open were left out.").arg(p.StrayExits());
    m_summary->setText(notes.join(QLatin1Char(' ')));

    const int sortColumn = m_table->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = m_table->horizontalHeader()->sortIndicatorOrder();
    m_model->removeRows(0, m_model->rowCount());
    for (const auto& r : p.Rows(pass)) {
        auto* name = new QStandardItem(Text(p.Names()[r.name]) +
                                       (r.open ? QStringLiteral(" (%1 open)").arg(r.open) : QString()));
        name->setData(name->text(), kSortRole);
        name->setData(r.maxLine, kLineRole);
        name->setEditable(false);
        if (r.subreport) name->setToolTip(QStringLiteral("Subreport"));
        m_model->appendRow({name, Number(qint64(r.calls), QString::number(r.calls)), Time(r.total, timed),
                            Time(r.self, timed), Time(p.SelfWithoutSends(r), timed), Time(r.Mean(), timed),
                            Time(r.max, timed), Number(r.maxRecord, QString::number(r.maxRecord)),
                            Number(qint64(r.messages), QString::number(r.messages))});
    }
    // Total, most first, until the user sorts otherwise.
    if (!m_sorted) {
        m_table->sortByColumn(2, Qt::DescendingOrder);
        m_sorted = true;
    } else {
        m_table->sortByColumn(sortColumn, order);
    }
    m_table->resizeColumnToContents(0);

    m_recordModel->removeRows(0, m_recordModel->rowCount());
    for (const auto& r : p.ByRecord(pass)) {
        QStringList top;
        for (const auto& [name, self] : r.top)
            top << Text(p.Names()[name]) +
                       (timed ? QStringLiteral(" ") + QString::fromStdString(viewer::DurationText(self))
                              : QString());
        auto* topItem = new QStandardItem(top.join(QStringLiteral(", ")));
        topItem->setEditable(false);
        m_recordModel->appendRow({Number(r.pass + 1, QString::number(r.pass + 1)),
                                  Number(r.record, QString::number(r.record)), Time(r.last - r.first, timed),
                                  Number(qint64(r.messages), QString::number(r.messages)), topItem});
    }
}

void ProfileView::GoToSlowest(int row) {
    const QStandardItem* name = m_model->item(row, 0);
    const int line = name ? name->data(kLineRole).toInt() : 0;
    if (!m_tree || line < 1 || line > m_tree->Count()) return;
    m_form.Viewer().SetCurrentPage(0);
    m_tree->Select(line);
}

}  // namespace tw::window
