// Help menu: contents and About.

#include "tw/window/about.hpp"
#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/help.hpp"

#include <QShortcut>

namespace tw::window {

void ConnectHelpCommands(FrmMain& form) {
    Commands& c = form.commands();
    // F1 opens the help from every window of the program; Contents... does what F1 does.
    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), &form);
    f1->setObjectName(QStringLiteral("shortcutHelp"));
    f1->setContext(Qt::ApplicationShortcut);
    QObject::connect(f1, &QShortcut::activated, &form, [] { ShowHelp(); });
    c.On("mnuHelpContents", [] { ShowHelp(); });
    c.On("mnuHelpAbout", [&form] { ShowAbout(&form); });
}

}  // namespace tw::window
