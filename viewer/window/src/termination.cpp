#include "tw/window/termination.hpp"

#include <QWidget>

#ifndef _WIN32
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tw::window {

#ifndef _WIN32
namespace {

// The handler only writes one byte into a pipe (all a signal handler may safely do); the
// event loop reads it and closes the window.
int g_pipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signal) {
    const int saved = errno;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void CatchTerminationSignals() {
    if (g_pipe[0] >= 0) return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    // The first signal asks for an orderly end; the next one, should that hang, ends the
    // program the usual way.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void CloseOnTerminationSignals(QWidget& window) {
    CatchTerminationSignals();
    if (g_pipe[0] < 0) return;
    auto* notifier = new QSocketNotifier(qintptr(g_pipe[0]), QSocketNotifier::Read, &window);
    notifier->setObjectName(QStringLiteral("terminationNotifier"));
    QPointer<QWidget> target(&window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [notifier, target] {
        char bytes[16];
        while (::read(g_pipe[0], bytes, sizeof bytes) > 0) {
        }
        notifier->setEnabled(false);
        if (target) target->close();
    });
}

#else

void CatchTerminationSignals() {}
void CloseOnTerminationSignals(QWidget&) {}

#endif

}  // namespace tw::window
