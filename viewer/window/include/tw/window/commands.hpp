#pragma once
// The main window's command vocabulary: one QAction per menu item, found by the item's object
// name ("mnuFileOpen", ...). Menus and toolbar buttons only trigger these actions; what a
// command does is connected in one place per area (commands_<area>.cpp).

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QAction;

namespace tw::window {

class FrmMain;

class Commands {
public:
    // Actions are created as children of owner, which keeps them alive.
    explicit Commands(QObject* owner) : m_owner(owner) {}

    // Creates the command's action; its object name is name.
    QAction* Add(const QString& name, const QString& caption, const QKeySequence& shortcut = {});
    // The action of a command, or nullptr when no command has that name.
    QAction* Action(const QString& name) const;
    // Connects a handler to the command's triggered signal; false when there is no such command.
    bool On(const QString& name, std::function<void()> handler);
    // Runs the command as if its menu item had been chosen; false when there is no such command
    // or it is disabled.
    bool Run(const QString& name) const;
    // Names of every command, in the order they were added.
    QStringList Names() const { return m_order; }

private:
    QObject* m_owner;
    QHash<QString, QAction*> m_actions;
    QStringList m_order;
};

// Connects every command of the main window to its handler; called once at load.
void ConnectCommands(FrmMain& form);

// One function per area; each connects the commands of its menu (see commands_<area>.cpp).
void ConnectFileCommands(FrmMain& form);
void ConnectEditCommands(FrmMain& form);
void ConnectSearchCommands(FrmMain& form);
void ConnectWatchCommands(FrmMain& form);
void ConnectOptionsCommands(FrmMain& form);
void ConnectHelpCommands(FrmMain& form);

}  // namespace tw::window
