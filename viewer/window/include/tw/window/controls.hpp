#pragma once
// The controls of the main window, top to bottom, by the names the rest of the viewer uses.
// The window owns them all (Qt parent chain); these are plain non-owning pointers.

class QFileDialog;
class QFrame;
class QMainWindow;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QTreeView;
class QWidget;

namespace tw::window {

struct Controls {
    QToolBar* tbrToolbar = nullptr;
    QWidget* client = nullptr;        // the area between toolbar and status bar
    QWidget* picViewer = nullptr;     // container of the trace tab set
    QWidget* imgSplitterH = nullptr;  // invisible hot zone of the horizontal splitter
    QFrame* picSplitterH = nullptr;   // the bar shown while the splitter is dragged; hidden
    QTabWidget* tabWindows = nullptr; // lower pane: "Autos", "Scratch", "Watches"
    QTreeView* tvwAutos = nullptr;
    QTreeView* lvwScratch = nullptr;  // report-style list: "Id", "Scratch Message"
    QTreeView* tvwWatch = nullptr;
    QTreeView* lvwWatch = nullptr;    // report-style list: "Object", "Expression", "Value", "Record Number"
    QStatusBar* sbrStatus = nullptr;
    QFileDialog* dlgFile = nullptr;   // the Open and Save file dialog, created hidden
};

// Page indices of tabWindows.
enum class LowerPage : int { Autos = 0, Scratch = 1, Watches = 2 };

// Creates every control on the window (toolbar, client area and its children, status bar,
// file dialog); the toolbar is left empty for BuildToolbar.
Controls BuildControls(QMainWindow& window);

}  // namespace tw::window
