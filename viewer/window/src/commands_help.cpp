// Help menu: contents and About.

#include "tw/window/about.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/help.hpp"

#include <QApplication>
#include <QShortcut>

namespace tw::window {

void ConnectHelpCommands(FrmMain& form) {
    Commands& c = form.commands();
    // F1 opens the help for the window or pane with the focus, from every window of the program;
    // Contents... opens it on the contents page.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &form);
    f1->setObjectName(QStringLiteral("shortcutHelp"));
    f1->setContext(Qt::ApplicationShortcut);
    QObject::connect(f1, &QShortcut::activated, &form, [] { ShowHelp(HelpTopicFor(QApplication::focusWidget())); });
    c.On("mnuHelpContents", [] { ShowHelp(); });
    c.On("mnuHelpAbout", [&form] { ShowAbout(&form); });
}

}  // namespace tw::window
