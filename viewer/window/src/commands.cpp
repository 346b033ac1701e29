#include "tw/window/commands.hpp"

#include "tw/window/capture_commands.hpp"
#include "tw/window/export.hpp"
#include "tw/window/mark_commands.hpp"
#include "tw/window/plot_commands.hpp"
#include "tw/window/printing.hpp"
#include "tw/window/recent_files.hpp"

#include <QAction>
#include <QtGlobal>

namespace tw::window {

QAction* Commands::Add(const QString& name, const QString& caption, const QKeySequence& shortcut) {
    auto* action = new QAction(caption, m_owner);
    action->setObjectName(name);
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    m_actions.insert(name, action);
    m_order.append(name);
    return action;
}

QAction* Commands::Action(const QString& name) const {
    return m_actions.value(name, nullptr);
}

bool Commands::On(const QString& name, std::function<void()> handler) {
    QAction* action = Action(name);
    if (!action) {
        qWarning("No command named %s to connect", qPrintable(name));
        return false;
    }
    QObject::connect(action, &QAction::triggered, action, [h = std::move(handler)] { h(); });
    return true;
}

bool Commands::Run(const QString& name) const {
    QAction* action = Action(name);
    if (!action || !action->isEnabled()) return false;
    action->trigger();
    return true;
}

void ConnectCommands(FrmMain& form) {
    ConnectFileCommands(form);
    ConnectEditCommands(form);
    ConnectSearchCommands(form);
    ConnectWatchCommands(form);
    ConnectOptionsCommands(form);
    ConnectHelpCommands(form);
    ConnectExportCommands(form);
    ConnectCaptureCommands(form);
    ConnectMarkCommands(form);
    ConnectRecentFiles(form);
    ConnectPlotCommands(form);
    ConnectPrintCommands(form);
}

}  // namespace tw::window
