#include "tw/window/frm_main.hpp"

#include "tw/common/common.hpp"
#include "tw/core/message_manager.hpp"
#include "tw/core/reception.hpp"
#include "tw/core/status_panels.hpp"
#include "tw/display/trace_view.hpp"
#include "tw/display/viewer.hpp"
#include "tw/panes/autos_manager.hpp"
#include "tw/panes/scratch_manager.hpp"
#include "tw/panes/watch_dialog.hpp"
#include "tw/panes/watch_manager.hpp"
#include "tw/window/breakpoint_view.hpp"
#include "tw/window/context_menus.hpp"
#include "tw/window/layout.hpp"
#include "tw/window/live_view.hpp"
#include "tw/window/compare_view.hpp"
#include "tw/window/profile_view.hpp"
#include "tw/window/menus.hpp"
#include "tw/window/status_panels.hpp"
#include "tw/window/toolbar.hpp"
#include "tw/window/twips.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace tw::window {
namespace {

// Client area of the designed window.
constexpr double kDesignWidthTwips = 9120;
constexpr double kDesignHeightTwips = 6885;

QFont WindowFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(8.25);
    return font;
}

}  // namespace

// The status panels as the message store writes them: the count in panel 1, the listening
// state with its picture in panel 2. "Ready." with the green picture only while envelopes can
// arrive: when the window could not start receiving, panel 2 says so and panel 3 says why.
class StatusWriter : public viewer::StatusPanels {
public:
    StatusWriter(window::StatusPanels& panels, const FrmMain& form) : m_panels(panels), m_form(form) {}
    void SetMessageCount(const QString& text) override { m_panels.SetText(1, text); }
    void SetListening(const QString& text, bool listening) override {
        const bool receiving = m_form.Reception() && m_form.Reception()->IsListening();
        if (listening && !receiving) {
            m_panels.SetText(2, QStringLiteral("Not receiving."));
            m_panels.SetPicture(2, icons::Stopped);
            m_panels.SetText(3, m_form.ReceptionError());
            return;
        }
        m_panels.SetText(2, text);
        m_panels.SetPicture(2, listening ? icons::Ready : icons::Stopped);
    }

private:
    window::StatusPanels& m_panels;
    const FrmMain& m_form;
};

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent), m_commands(this), m_icons(MakeMainIcons()) {
    setObjectName("frmMain");
    setFont(WindowFont());
    setWindowTitle(QString::fromLatin1(kCaption));

    m_controls = BuildControls(*this);
    BuildMenus(*menuBar(), m_commands);
    BuildToolbar(*m_controls.tbrToolbar, m_icons, [this](const QString& key) { tbrToolbar_ButtonClick(key); });
    m_status = std::make_unique<StatusPanels>(*m_controls.sbrStatus, m_icons);
    m_statusWriter = std::make_unique<StatusWriter>(*m_status, *this);

    m_contextMenus = new ContextMenus(this);
    m_contextMenus->Attach(m_controls.tvwWatch, ContextMenus::When::Release, Menu("mnuWatch"));

    m_layout = new MainWindowLayout(*this, m_controls);
    resize(TwipsToPixelsX(kDesignWidthTwips, this), TwipsToPixelsY(kDesignHeightTwips, this));

    ConnectCommands(*this);
    Load();
    new LiveView(*this);
    new ProfileView(*this);
    ConnectCompareCommands(*this);
    new BreakpointView(*this);
}

FrmMain::~FrmMain() {
    Unload();
}

// Load: reception under the caption first, then the trace tab set with only "Default" open,
// then the store, listening at once.
void FrmMain::Load() {
    viewer::EnvelopeTargets targets;
    targets.scratch = [this](qint32 id, const QString& text) { ScratchManager().Add(id, text); };
    targets.message = [this](const viewer::MessageRef& message) { MessageManager().Add(message); };
    targets.keeping = [this] { return MessageManager().ProcessMessages(); };
    m_reception = std::make_unique<viewer::Reception>(std::move(targets));
#ifdef Q_OS_WIN
    // Senders look the window up by its caption, so it needs its native window from load on,
    // not only from the first show.
    (void)winId();
#endif
    // Connections the receiving end had to close, and malformed envelopes it dropped, show in
    // panel 3.
    connect(m_reception.get(), &viewer::Reception::connectionsClosed, this, [this] { ShowReceiverCounts(); });
    connect(m_reception.get(), &viewer::Reception::envelopeDropped, this, [this] { ShowReceiverCounts(); });
    StartReception();
    Viewer().RemoveAll();
    MessageManager().SetProcessMessages(true);
}

bool FrmMain::StartReception() {
    if (!m_reception) return false;
    if (m_reception->IsListening()) return true;
    QString error;
    if (m_reception->Listen(QString::fromLatin1(kCaption), &error)) {
        m_receptionError.clear();
        setWindowTitle(QString::fromLatin1(kCaption));
        ShowReceiverCounts();
        return true;
    }
    long other = 0;
    if (m_reception->AnotherReceives(&other)) {
        // A second window of the same user runs without receiving and says so; no box, since
        // starting a second window is no mistake. Its caption differs, so no sender looks
        // for it by name.
        m_receptionError = other > 0 ? QStringLiteral("Another Tracewell window (process %1) receives the messages.").arg(other)
                                     : QStringLiteral("Another Tracewell window receives the messages.");
        setWindowTitle(QString::fromLatin1(kCaption) + QStringLiteral(" (not receiving)"));
        return false;
    }
    m_receptionError = QStringLiteral("Trace messages cannot be received: ") + error;
    tw::messageBoxes().Show(QStringLiteral("Trace messages cannot be received:\n") + error,
                            QString::fromLatin1(kCaption), BoxIcon::Warning);
    return false;
}

// Panel 3: what the receiving end closed or dropped, when there is anything to say.
void FrmMain::ShowReceiverCounts() {
    const quint64 closed = m_reception->ClosedConnections();
    const quint64 malformed = m_reception->MalformedCount();
    QStringList parts;
    const QLocale locale;
    if (closed > 0) parts << QStringLiteral("%1 connection%2 closed").arg(locale.toString(closed), closed == 1 ? "" : "s");
    if (malformed > 0)
        parts << QStringLiteral("%1 malformed message%2 dropped").arg(locale.toString(malformed), malformed == 1 ? "" : "s");
    m_status->SetText(3, parts.join(QStringLiteral("; ")));
}

// Unload releases the store, the autos, the scratch list and the watches, in this order.
void FrmMain::Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
    m_reception.reset();  // waiting senders are released; nothing arrives any more
    m_messageManager.reset();
    m_autosManager.reset();
    m_scratchManager.reset();
    m_watchManager.reset();
}

viewer::Viewer& FrmMain::Viewer() {
    if (!m_viewer) {
        m_viewer = std::make_unique<viewer::Viewer>(m_controls.picViewer);
        m_controls.picViewer->layout()->addWidget(m_viewer->TabWidget());
        QMenu* search = Menu("mnuSearch");
        connect(m_viewer.get(), &viewer::Viewer::searchMenuRequested, search,
                [search](const QPoint& at) { search->popup(at); });
    }
    return *m_viewer;
}

viewer::MessageManager& FrmMain::MessageManager() {
    if (!m_messageManager) {
        m_messageManager = std::make_unique<viewer::MessageManager>(Viewer(), m_statusWriter.get());
        // The panes see each stored message while their Options entries are checked.
        m_messageManager->SetWatchHook([this](const viewer::MessageRef& m) { WatchManager().Evaluate(*m); });
        m_messageManager->SetAutosHook([this](const viewer::MessageRef& m) { AutosManager().Update(m); });
        ApplyOptions();
    }
    return *m_messageManager;
}

void FrmMain::ApplyOptions() {
    if (!m_messageManager) return;
    m_messageManager->SetWatchesEnabled(OptionChecked(QStringLiteral("mnuOptionsWatches")));
    m_messageManager->SetAutosEnabled(OptionChecked(QStringLiteral("mnuOptionsAutos")));
}

viewer::ScratchManager& FrmMain::ScratchManager() {
    if (!m_scratchManager) {
        m_scratchManager = std::make_unique<viewer::ScratchManager>();
        m_scratchManager->AttachView(m_controls.lvwScratch);
    }
    return *m_scratchManager;
}

viewer::AutosManager& FrmMain::AutosManager() {
    if (!m_autosManager) {
        m_autosManager = std::make_unique<viewer::AutosManager>(Viewer());
        m_autosManager->AttachView(m_controls.tvwAutos);
    }
    return *m_autosManager;
}

viewer::WatchManager& FrmMain::WatchManager() {
    if (!m_watchManager) {
        m_watchManager = std::make_unique<viewer::WatchManager>(Viewer());
        m_watchManager->AttachViews(m_controls.tvwWatch, m_controls.lvwWatch,
                                    [this](int index) { return m_icons.Icon(index); });
    }
    return *m_watchManager;
}

viewer::DlgWatch& FrmMain::WatchDialog() {
    if (!m_dlgWatch)
        m_dlgWatch = new viewer::DlgWatch([this] { return WatchManager().GetObjectNameList(); }, this);
    return *m_dlgWatch;
}

QMenu* FrmMain::Menu(const QString& name) const {
    return menuBar()->findChild<QMenu*>(name);
}

bool FrmMain::OptionChecked(const QString& name) const {
    const QAction* action = m_commands.Action(name);
    return action && action->isChecked();
}

void FrmMain::tbrToolbar_ButtonClick(const QString& key) {
    const QString command = CommandForToolbarKey(key);
    if (!command.isEmpty()) m_commands.Run(command);
}

void FrmMain::SizeControlsH(float position) {
    m_layout->SizeControlsH(position);
}

void FrmMain::ClearCurrentViewer() {
    MessageManager().Clear();
    emit currentViewerCleared();
}

void FrmMain::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
    emit unloaded();
}

}  // namespace tw::window
