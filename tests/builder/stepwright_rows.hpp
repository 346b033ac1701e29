#pragma once
// What the Stepwright shows for one report file, written out as text: its cboSubReport entries,
// for each entry and view the column headers and the rows (ticked by Select All), the calls the
// composer writes for those rows with every command template, and the error boxes shown. The
// same dump made on two systems, or through two engines, tells whether they list and compose
// the same.

#include "tw/builder/dlg_stepwright.hpp"

#include <QString>

namespace tw::builder::testing {

struct StepwrightDump {
    QString text;       // lines end in LF; the composed calls keep their CR LF
    QStringList boxes;  // "caption: prompt" of each box, in order (also at the end of text)
};

// Runs a Stepwright dialog whose Application comes from factory (nothing else: a failure to
// create it is a box) and opens fileName in it as Browse does.
StepwrightDump DumpStepwright(const ApplicationFactory& factory, engine::EngineVersion version,
                              const QString& fileName);

}  // namespace tw::builder::testing
