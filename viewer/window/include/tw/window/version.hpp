#pragma once
// The program's version as the splash window and the About dialog show it.

#include <QString>

namespace tw::window {

// major.minor.revision in plain decimal, without padding: 1.2.15, 1.2.0.
QString VersionText(int major, int minor, int revision);
// The version of this build (the project's one version number).
QString ProgramVersionText();

}  // namespace tw::window
