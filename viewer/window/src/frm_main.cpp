#include "tw/window/frm_main.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTreeView>

#include "tw/window/context_menus.hpp"
#include "tw/window/layout.hpp"
#include "tw/window/menus.hpp"
#include "tw/window/status_panels.hpp"
#include "tw/window/toolbar.hpp"
#include "tw/window/twips.hpp"

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

FrmMain::FrmMain(QWidget* parent) : QMainWindow(parent), m_commands(this), m_icons(MakeMainIcons()) {
    setObjectName("frmMain");
    setFont(WindowFont());
    setWindowTitle(QString::fromLatin1(kCaption));

    m_controls = BuildControls(*this);
    BuildMenus(*menuBar(), m_commands);
    BuildToolbar(*m_controls.tbrToolbar, m_icons, [this](const QString& key) { tbrToolbar_ButtonClick(key); });
    m_status = std::make_unique<StatusPanels>(*m_controls.sbrStatus, m_icons);

    m_contextMenus = new ContextMenus(this);
    m_contextMenus->Attach(m_controls.tvwWatch, ContextMenus::When::Release, Menu("mnuWatch"));

    m_layout = new MainWindowLayout(*this, m_controls);
    resize(TwipsToPixelsX(kDesignWidthTwips, this), TwipsToPixelsY(kDesignHeightTwips, this));

    ConnectCommands(*this);
    Load();
}

FrmMain::~FrmMain() {
    Unload();
}

void FrmMain::Load() {
}

void FrmMain::Unload() {
    if (m_unloaded) return;
    m_unloaded = true;
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
    emit currentViewerCleared();
}

void FrmMain::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
    emit unloaded();
}

}  // namespace tw::window
