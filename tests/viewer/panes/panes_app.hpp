#pragma once
// One QApplication for the pane tests (widgets and model timers need it).

#include <QApplication>

namespace tw::viewer::test {

inline void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "viewer_panes_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // kept to the end: Qt's statics outlive the tests
}

}  // namespace tw::viewer::test
