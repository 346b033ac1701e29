#include "qt_app.hpp"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

namespace tw::test {

void EnsureApplication() {
    if (QApplication::instance()) return;
    // Every main window listens under its caption: keep this program's windows in a socket
    // directory of their own, away from any viewer the user runs.
    static QTemporaryDir sockets;
    qputenv("TRACEWELL_SOCKET_DIR", (sockets.path() + "/sockets").toLocal8Bit());
    // Remembered settings (and those of programs started from here) go there too.
    qputenv("XDG_CONFIG_HOME", (sockets.path() + "/config").toLocal8Bit());
    static int argc = 1;
    static char name[] = "tw_viewer_window_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: Qt's own statics (the test input devices) would outlive it at exit.
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
}

void OnNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer();
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        act(modal);
    });
    timer->start();
}

}  // namespace tw::test
