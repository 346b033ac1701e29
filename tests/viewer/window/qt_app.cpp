#include "qt_app.hpp"

#include <QApplication>

namespace tw::test {

void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tw_viewer_window_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics (the test input devices) would outlive it at exit.
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace tw::test
