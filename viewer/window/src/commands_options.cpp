// Options menu: the two check marks the store reads per message, and how the window shares a
// new height.

#include "tw/window/commands.hpp"
#include "tw/window/frm_main.hpp"
#include "tw/window/layout.hpp"

#include <QAction>
#include <QMenu>

namespace tw::window {

void ConnectOptionsCommands(FrmMain& form) {
    for (const char* name : {"mnuOptionsAutos", "mnuOptionsWatches"}) {
        QAction* option = form.commands().Action(QString::fromLatin1(name));
        QObject::connect(option, &QAction::toggled, &form, [&form] { form.ApplyOptions(); });
    }
    // A window made taller gives the new height to the trace instead of the lower pages
    // (remembered with the other options; off, the splitter keeps its place).
    QAction* traceFirst = form.commands().Add(QStringLiteral("mnuOptionsTraceTakesHeight"),
                                              QStringLiteral("&Trace Takes New Height"));
    traceFirst->setCheckable(true);
    if (QMenu* options = form.Menu(QStringLiteral("mnuOptions"))) {
        options->addSeparator();
        options->addAction(traceFirst);
    }
    QObject::connect(traceFirst, &QAction::toggled, &form, [&form](bool on) { form.layout().SetTraceTakesHeight(on); });
}

}  // namespace tw::window
