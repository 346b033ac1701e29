#include "tw/testing/application.hpp"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

namespace tw::test {

void EnsureApplication() {
    if (QApplication::instance()) return;
    static QTemporaryDir folder;
    qputenv("TRACEWELL_SOCKET_DIR", (folder.path() + "/sockets").toLocal8Bit());
    // Remembered settings (and those of programs started from here) go there too.
    qputenv("XDG_CONFIG_HOME", (folder.path() + "/config").toLocal8Bit());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path() + "/settings");
    static int argc = 1;
    static char name[] = "tw_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics (the test input devices) would outlive it at exit.
    new QApplication(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tracewell"));
    QApplication::setQuitOnLastWindowClosed(false);
}

}  // namespace tw::test
