#pragma once
// frmMain, the viewer's one main window. Its caption "Tracewell" is how senders find it, so the
// caption is set once and never changed. The window hosts the controls, turns menu commands and
// toolbar clicks into calls on the objects it owns, and creates those objects on first use.

#include "tw/window/commands.hpp"
#include "tw/window/controls.hpp"
#include "tw/window/image_list.hpp"

#include <QMainWindow>

#include <memory>

class QMenu;

namespace tw::viewer {
class AutosManager;
class DlgWatch;
class MessageManager;
class Reception;
class ScratchManager;
class Viewer;
class WatchManager;
}  // namespace tw::viewer

namespace tw::window {

class StatusWriter;

class ContextMenus;
class MainWindowLayout;
class StatusPanels;

// The caption senders look for; never changed while the program runs.
inline constexpr const char* kCaption = "Tracewell";

class FrmMain : public QMainWindow {
    Q_OBJECT
public:
    // Creates the controls, menus and toolbar and runs the load handler: the window starts
    // listening at once ("Ready.").
    explicit FrmMain(QWidget* parent = nullptr);
    ~FrmMain() override;

    // The objects the window owns, each created on first read and kept until unload. The
    // message store and the viewer are created at load.
    viewer::MessageManager& MessageManager();
    viewer::ScratchManager& ScratchManager();
    viewer::AutosManager& AutosManager();
    viewer::WatchManager& WatchManager();
    viewer::Viewer& Viewer();
    // The watch dialog, made on first use and only hidden between uses, so it keeps its input.
    viewer::DlgWatch& WatchDialog();
    // The receiving end, listening under the caption from load to unload (nullptr after).
    viewer::Reception* Reception() const { return m_reception.get(); }
    // Starts receiving when the window is not (yet) receiving: at load, and again at every
    // Start Messaging. A failure shows the warning box (not when another window of the user
    // receives: this one then runs without, its caption saying so); the status bar says that
    // nothing is received, and why. Returns whether the window is receiving.
    bool StartReception();
    // Why the window is not receiving; empty while it is (or before it tried).
    const QString& ReceptionError() const { return m_receptionError; }

    // The command registry: every menu item's action by its object name.
    Commands& commands() { return m_commands; }
    // The controls by name.
    const Controls& controls() const { return m_controls; }
    // A menu of the menu bar by object name ("mnuSearch", "mnuWatch", ...), or nullptr.
    QMenu* Menu(const QString& name) const;
    // The status bar's three panels.
    StatusPanels& statusPanels() { return *m_status; }
    // The icon list imgIcons of the toolbar, status bar and panes.
    const ImageList& imgIcons() const { return m_icons; }
    // Whether an Options entry ("mnuOptionsAutos", "mnuOptionsWatches") carries its check mark.
    bool OptionChecked(const QString& name) const;
    // Hands the Options check marks to the store, which reads them for every message it adds.
    void ApplyOptions();

    // Runs the menu command of a toolbar key, compared upper-cased; unknown keys do nothing.
    void tbrToolbar_ButtonClick(const QString& key);

    // Lays the window out with the splitter at the given position (twips from the top of the
    // client area, clamped); see layout.hpp.
    void SizeControlsH(float position);
    // The window's geometry and splitter.
    MainWindowLayout& layout() { return *m_layout; }

    // Clear Current Viewer: the store clears the current page, then currentViewerCleared().
    void ClearCurrentViewer();

signals:
    // The current trace page was cleared; whatever pointed at its lines (a bookmark) is dropped.
    void currentViewerCleared();
    // The window was unloaded; the program ends.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ShowReceiverCounts();
    void Load();
    void Unload();

    Commands m_commands;
    ImageList m_icons;
    Controls m_controls;
    std::unique_ptr<StatusPanels> m_status;
    std::unique_ptr<StatusWriter> m_statusWriter;  // the store's view of the status panels
    std::unique_ptr<viewer::Viewer> m_viewer;
    std::unique_ptr<viewer::MessageManager> m_messageManager;
    std::unique_ptr<viewer::ScratchManager> m_scratchManager;
    std::unique_ptr<viewer::AutosManager> m_autosManager;
    std::unique_ptr<viewer::WatchManager> m_watchManager;
    viewer::DlgWatch* m_dlgWatch = nullptr;  // owned by the window (Qt parent)
    std::unique_ptr<viewer::Reception> m_reception;  // listens under the caption from load to unload
    QString m_receptionError;                        // why it does not, when it could not start
    ContextMenus* m_contextMenus = nullptr;
    MainWindowLayout* m_layout = nullptr;  // owned by the window (Qt parent)
    bool m_unloaded = false;
};

}  // namespace tw::window
