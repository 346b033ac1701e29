#include "tw/window/breakpoint_view.hpp"

#include "tw/common/common.hpp"
#include "tw/common/dialog_buttons.hpp"
#include "tw/core/message_types.hpp"
#include "tw/core/reception.hpp"
#include "tw/core/trace_tree.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/watch_dialog.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/settings.hpp"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tw::window {
namespace {

using viewer::Breakpoint;
using viewer::BreakpointKind;
using viewer::Breakpoints;

const QString kSettingsKey = QStringLiteral("breakpoints/list");

// The remembered form of a breakpoint: on/off, kind, name, operator, value, tab-separated.
const char* const kKindWords[] = {"watch", "entry", "error", "warning", "record"};

QString Remembered(const Breakpoint& b) {
    return QStringList{b.enabled ? QStringLiteral("on") : QStringLiteral("off"),
                       QString::fromLatin1(kKindWords[int(b.kind)]), QString::fromStdString(b.name),
                       QString::fromStdString(b.op), QString::fromStdString(b.value)}
        .join(QLatin1Char('\t'));
}

std::optional<Breakpoint> FromRemembered(const QString& text) {
    const QStringList f = text.split(QLatin1Char('\t'));
    if (f.size() != 5) return std::nullopt;
    for (int k = 0; k < 5; ++k) {
        if (f[1] != QLatin1String(kKindWords[k])) continue;
        auto b = Breakpoints::Make(BreakpointKind(k), f[2].toStdString(), f[3].toStdString(), f[4].toStdString());
        if (b) b->enabled = f[0] != QLatin1String("off");
        return b;
    }
    return std::nullopt;
}

}  // namespace

// ---------------------------------------------------------------- DlgBreakpoint

DlgBreakpoint::DlgBreakpoint(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("dlgBreakpoint"));
    setWindowTitle(QStringLiteral("Breakpoint"));
    setModal(true);

    auto* lblKind = new QLabel(QStringLiteral("&Pause the report at:"), this);
    lblKind->setObjectName(QStringLiteral("lblKind"));
    m_cboKind = new QComboBox(this);
    m_cboKind->setObjectName(QStringLiteral("cboKind"));
    m_cboKind->addItem(QStringLiteral("Entering a formula or subreport"), int(BreakpointKind::Entry));
    m_cboKind->addItem(QStringLiteral("Every error message"), int(BreakpointKind::Error));
    m_cboKind->addItem(QStringLiteral("Every warning message"), int(BreakpointKind::Warning));
    m_cboKind->addItem(QStringLiteral("A record number"), int(BreakpointKind::Record));
    lblKind->setBuddy(m_cboKind);

    m_lblName = new QLabel(this);
    m_lblName->setObjectName(QStringLiteral("lblName"));
    m_txtName = new QLineEdit(this);
    m_txtName->setObjectName(QStringLiteral("txtName"));
    m_txtName->setMinimumWidth(240);
    m_lblName->setBuddy(m_txtName);

    m_lblProblem = new QLabel(this);
    m_lblProblem->setObjectName(QStringLiteral("lblProblem"));
    m_lblProblem->setWordWrap(true);
    m_lblProblem->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_lblProblem->hide();

    QHBoxLayout* buttons = MakeOkCancelRow(this, m_btnCmd);
    connect(m_btnCmd[0], &QPushButton::clicked, this, &DlgBreakpoint::OnOK);
    connect(m_btnCmd[1], &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cboKind, &QComboBox::currentIndexChanged, this, &DlgBreakpoint::KindChanged);
    connect(m_txtName, &QLineEdit::textEdited, m_lblProblem, &QLabel::hide);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblKind, 0, 0);
    grid->addWidget(m_cboKind, 0, 1);
    grid->addWidget(m_lblName, 1, 0);
    grid->addWidget(m_txtName, 1, 1);
    grid->addWidget(m_lblProblem, 2, 0, 1, 2);
    grid->addLayout(buttons, 3, 0, 1, 2);
    KindChanged();
}

void DlgBreakpoint::KindChanged() {
    const auto kind = BreakpointKind(m_cboKind->currentData().toInt());
    m_lblName->setText(kind == BreakpointKind::Record ? QStringLiteral("&Record number or range:")
                                                      : QStringLiteral("&Name (wildcards * ? [a-z]):"));
    const bool needsName = kind == BreakpointKind::Entry || kind == BreakpointKind::Record;
    m_txtName->setEnabled(needsName);
    m_lblName->setEnabled(needsName);
    m_lblProblem->hide();
}

void DlgBreakpoint::OnOK() {
    std::string why;
    const auto kind = BreakpointKind(m_cboKind->currentData().toInt());
    m_breakpoint = Breakpoints::Make(kind, m_txtName->text().toStdString(), {}, {}, &why);
    if (!m_breakpoint) {
        m_lblProblem->setText(QString::fromStdString(why));
        m_lblProblem->show();
        return;  // the dialog stays open; nothing is kept
    }
    accept();
}

// ---------------------------------------------------------------- BreakpointView

BreakpointView::BreakpointView(FrmMain& form) : QObject(&form), m_form(form) {
    setObjectName(QStringLiteral("breakpointView"));
    Commands& c = form.commands();

    // Debug, a menu of its own after Watches.
    auto* menu = new QMenu(QStringLiteral("&Debug"), form.menuBar());
    menu->setObjectName(QStringLiteral("mnuDebug"));
    QAction* before = nullptr;
    if (QMenu* watches = form.Menu(QStringLiteral("mnuWatch"))) {
        const QList<QAction*> bar = form.menuBar()->actions();
        const qsizetype at = bar.indexOf(watches->menuAction());
        if (at >= 0 && at + 1 < bar.size()) before = bar[at + 1];
    }
    form.menuBar()->insertMenu(before, menu);

    m_continue = c.Add(QStringLiteral("mnuDebugContinue"), QStringLiteral("&Continue"));
    m_step = c.Add(QStringLiteral("mnuDebugStep"), QStringLiteral("&Step"), QKeySequence(Qt::Key_F10));
    m_stepOut = c.Add(QStringLiteral("mnuDebugStepOut"), QStringLiteral("Step &Out"),
                      QKeySequence(Qt::SHIFT | Qt::Key_F11));
    QAction* next = c.Add(QStringLiteral("mnuDebugPauseNext"), QStringLiteral("&Pause on Next Call"));
    // Ctrl+Break comes as Ctrl+Pause on some systems and as Ctrl+Cancel on others.
    next->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Pause), QKeySequence(Qt::CTRL | Qt::Key_Cancel)});
    QAction* add = c.Add(QStringLiteral("mnuDebugAddBreakpoint"), QStringLiteral("&Add Breakpoint..."));
    QAction* remove = c.Add(QStringLiteral("mnuDebugDeleteBreakpoint"), QStringLiteral("&Delete Breakpoint"));
    QAction* removeAll = c.Add(QStringLiteral("mnuDebugDeleteAllBreakpoints"), QStringLiteral("Delete All &Breakpoints"));
    m_continue->setToolTip(QStringLiteral("Continue the report (F6)"));
    m_step->setToolTip(QStringLiteral("Take this message and pause at the next one (F10)"));
    m_stepOut->setToolTip(QStringLiteral("Pause at the exit of the current formula (Shift+F11)"));
    menu->addAction(m_continue);
    menu->addAction(m_step);
    menu->addAction(m_stepOut);
    menu->addAction(next);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuDebugBar0"));
    menu->addAction(add);
    menu->addAction(remove);
    menu->addAction(removeAll);
    m_jump = c.Action(QStringLiteral("mnuSearchJump"));

    // The Breakpoints page of the lower tab strip.
    m_list = new QTreeWidget(form.controls().tabWindows);
    m_list->setObjectName(QStringLiteral("lvwBreakpoints"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({QStringLiteral("Breakpoint")});
    auto* page = new QWidget(form.controls().tabWindows);
    auto* pageLayout = new QHBoxLayout(page);
    pageLayout->setContentsMargins(2, 2, 2, 2);
    pageLayout->addWidget(m_list);
    form.controls().tabWindows->addTab(page, QStringLiteral("Breakpoints"));
    connect(m_list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item) {
        if (m_filling) return;
        m_breakpoints.SetEnabled(std::size_t(m_list->indexOfTopLevelItem(item)), item->checkState(0) == Qt::Checked);
        Save();
    });
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, menu,
            [this, menu](const QPoint& at) { menu->popup(m_list->viewport()->mapToGlobal(at)); });

    // The bar above the trace while paused: where, why, and the three ways on.
    m_bar = new QToolBar(&form);
    m_bar->setObjectName(QStringLiteral("tbrPaused"));
    m_bar->setMovable(false);
    m_bar->setFloatable(false);
    m_bar->toggleViewAction()->setVisible(false);
    m_bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_barText = new QLabel(m_bar);
    m_barText->setObjectName(QStringLiteral("lblPaused"));
    m_barText->setContentsMargins(6, 0, 6, 0);
    QFont bold = m_barText->font();
    bold.setBold(true);
    m_barText->setFont(bold);
    m_bar->addWidget(m_barText);
    m_bar->addAction(m_continue);
    m_bar->addAction(m_step);
    m_bar->addAction(m_stepOut);
    form.addToolBarBreak(Qt::TopToolBarArea);
    form.addToolBar(Qt::TopToolBarArea, m_bar);
    m_bar->hide();

    m_status = new QLabel(form.controls().sbrStatus);
    m_status->setObjectName(QStringLiteral("lblPausedStatus"));
    form.controls().sbrStatus->addPermanentWidget(m_status);
    m_status->hide();

    connect(m_continue, &QAction::triggered, this, [this] { Resume(&Breakpoints::CancelSteps); });
    connect(m_step, &QAction::triggered, this, [this] { Resume(&Breakpoints::PauseOnNextCall); });
    connect(m_stepOut, &QAction::triggered, this, [this] { Resume(&Breakpoints::StepOut); });
    connect(next, &QAction::triggered, this, [this] { m_breakpoints.PauseOnNextCall(); });
    connect(add, &QAction::triggered, this, [this] {
        DlgBreakpoint& dialog = Dialog();
        if (dialog.exec() == QDialog::Accepted && dialog.BreakpointObject()) Add(*dialog.BreakpointObject());
    });
    connect(remove, &QAction::triggered, this, [this] {
        const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
        if (row < 0) return;
        m_breakpoints.Remove(std::size_t(row));
        Refill();
        Save();
    });
    connect(removeAll, &QAction::triggered, this, [this] {
        m_breakpoints.Clear();
        Refill();
        Save();
    });
    // A watch whose dialog asked for it pauses the report when it catches (this runs after
    // the watch command itself, which shows the dialog).
    if (QAction* addWatch = c.Action(QStringLiteral("mnuWatchAdd"))) {
        connect(addWatch, &QAction::triggered, this, [this] {
            const viewer::DlgWatch& dialog = m_form.WatchDialog();
            if (!dialog.PauseOnCatch() || !dialog.WatchObject()) return;
            const viewer::Watch& w = *dialog.WatchObject();
            if (auto b = Breakpoints::Make(BreakpointKind::Watch, w.ObjectName().toStdString(),
                                           w.Operator().toStdString(), w.Value().toStdString()))
                Add(*b);
        });
    }
    // Stop Messaging and Clear All let every held sender go; so does closing the window.
    for (const char* name : {"mnuEditStop", "mnuEditClearDisplay"}) {
        if (QAction* a = c.Action(QString::fromLatin1(name)))
            connect(a, &QAction::triggered, this, [this] {
                m_breakpoints.CancelSteps();
                if (viewer::Reception* r = m_form.Reception()) r->ReleaseAll();
            });
    }

    if (viewer::Reception* r = form.Reception()) {
        r->SetBreakpoints(&m_breakpoints);
        connect(r, &viewer::Reception::paused, this, &BreakpointView::OnPaused);
        connect(r, &viewer::Reception::resumed, this, &BreakpointView::OnResumed);
        // A held sender that left is counted beside the status, paused or not.
        connect(r, &viewer::Reception::heldSenderLost, this, [this, r] {
            const quint64 n = r->HeldSendersLost();
            m_lost = QStringLiteral("%1 held sender%2 left").arg(n).arg(n == 1 ? "" : "s");
            ShowStatus();
        });
    }
    Restore();
    OnResumed();
}

// The window's reception, which tests these breakpoints, goes at unload, before this object.
BreakpointView::~BreakpointView() = default;

DlgBreakpoint& BreakpointView::Dialog() {
    if (!m_dialog) m_dialog = new DlgBreakpoint(&m_form);
    return *m_dialog;
}

void BreakpointView::Add(const Breakpoint& breakpoint) {
    m_breakpoints.Add(breakpoint);
    Refill();
    Save();
    SayWhenSendersGiveUp();
}

bool BreakpointView::IsPaused() const { return m_form.Reception() && m_form.Reception()->IsPaused(); }

QString BreakpointView::PausedText() const { return IsPaused() ? m_barText->text() : QString(); }

void BreakpointView::Resume(void (Breakpoints::*step)()) {
    if (!IsPaused()) return;
    (m_breakpoints.*step)();
    m_form.Reception()->Continue();
}

void BreakpointView::OnPaused(const viewer::MessageRef& message, const QString& reason) {
    // The message that hit is the last line of the default page.
    viewer::Viewer& v = m_form.Viewer();
    v.SetCurrentPage(0);
    viewer::TraceTree& tree = v.GetDefault();
    const int line = tree.Count();
    QString in;
    for (int l = line; l > 0; l = tree.Parent(l)) {
        const viewer::MessageSink& m = tree.Message(l);
        if (viewer::EntersLevel(m.MessageType())) {
            in = QStringLiteral(" in ") + m.Message();
            break;
        }
    }
    const QString text =
        QStringLiteral("Paused at record %1%2: %3").arg(message ? message->RecordNumber() : 0).arg(in, reason);
    if (line > 0) tree.Select(line);
    m_barText->setText(text);
    m_bar->show();
    ShowStatus();
    m_continue->setEnabled(true);
    m_step->setEnabled(true);
    m_stepOut->setEnabled(true);
    // F6 continues while paused.
    if (m_jump) m_jump->setShortcut({});
    m_continue->setShortcut(QKeySequence(Qt::Key_F6));
    QApplication::alert(&m_form);
}

void BreakpointView::OnResumed() {
    m_bar->hide();
    m_barText->clear();
    ShowStatus();
    m_continue->setShortcut({});
    if (m_jump) m_jump->setShortcut(QKeySequence(Qt::Key_F6));
    m_continue->setEnabled(false);
    m_step->setEnabled(false);
    m_stepOut->setEnabled(false);
}

// The status field: where the report is paused, and how many held senders left.
void BreakpointView::ShowStatus() {
    QStringList parts;
    if (!m_barText->text().isEmpty()) parts << m_barText->text();
    if (!m_lost.isEmpty()) parts << m_lost;
    m_status->setText(parts.join(QStringLiteral("; ")));
    m_status->setVisible(!parts.isEmpty());
}

void BreakpointView::Refill() {
    m_filling = true;
    m_list->clear();
    for (const Breakpoint& b : m_breakpoints.List()) {
        auto* item = new QTreeWidgetItem(m_list, {QString::fromStdString(b.Text())});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, b.enabled ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void BreakpointView::Save() const {
    QStringList list;
    for (const Breakpoint& b : m_breakpoints.List()) list << Remembered(b);
    settings::Set(kSettingsKey, list);
}

void BreakpointView::Restore() {
    for (const QString& text : settings::StringList(kSettingsKey))
        if (auto b = FromRemembered(text)) m_breakpoints.Add(*b);
    Refill();
}

// Windows: a sender bounded by SendTimeoutMs still gives a paused call up after that time
// (a window procedure cannot tell it to wait on), so setting a breakpoint says so, once.
void BreakpointView::SayWhenSendersGiveUp() {
#ifdef Q_OS_WIN
    if (m_saidGiveUp || !m_breakpoints.Armed()) return;
    for (const char* root : {"HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"}) {
        QSettings key(QString::fromLatin1(root) + QStringLiteral("\\Software\\Tracewell\\Tracetap"), QSettings::NativeFormat);
        const int ms = key.value(QStringLiteral("SendTimeoutMs")).toString().toInt();
        if (ms <= 0) continue;
        m_saidGiveUp = true;
        tw::messageBoxes().Show(
            QStringLiteral("The formula functions are set to give the viewer up after %1 ms (SendTimeoutMs under %2"
                           "\\Software\\Tracewell\\Tracetap). A report paused at a breakpoint goes on after that time "
                           "without waiting for Continue. Remove SendTimeoutMs to pause reports.")
                .arg(ms)
                .arg(QString::fromLatin1(root)),
            QString::fromLatin1(kCaption), BoxIcon::Information);
        return;
    }
#endif
}

}  // namespace tw::window
