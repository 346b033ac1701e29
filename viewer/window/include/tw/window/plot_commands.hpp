#pragma once
// Plot Values in the autos pane: its context menu (mnuAutos, item mnuAutosPlot) and a
// double-click on an object node open the value plot of that object (panes/value_plot.hpp).
// Without Qt Charts the item is absent and a double-click only expands and collapses.

#include <QString>

namespace tw::viewer {
class ValuePlot;
}

namespace tw::window {

class FrmMain;

void ConnectPlotCommands(FrmMain& form);
// Whether this build has value plots.
bool HavePlots();
#ifdef TW_HAVE_CHARTS
// Opens (or brings forward) the plot of an object; nullptr for an empty name.
viewer::ValuePlot* OpenValuePlot(FrmMain& form, const QString& objectName);
#endif

}  // namespace tw::window
