// Options menu: the two check marks. They only toggle; the store reads them per message.

#include <QAction>

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"

namespace tw::window {

void ConnectOptionsCommands(FrmMain& form) {
    for (const char* name : {"mnuOptionsAutos", "mnuOptionsWatches"}) {
        QAction* option = form.commands().Action(QString::fromLatin1(name));
        QObject::connect(option, &QAction::toggled, &form, [&form] { form.ApplyOptions(); });
    }
}

}  // namespace tw::window
