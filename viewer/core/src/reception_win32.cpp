#include "tw/core/reception.hpp"

#include "tw/core/copydata_filter_win32.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

#include <deque>
#include <memory>
#include <utility>

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::viewer {

// The native event filter that sees WM_COPYDATA, and the mutex that makes this the one
// receiving window of the session.
//
// A pause keeps each held sender inside the window procedure of its WM_COPYDATA: the message
// that hit, and every WM_COPYDATA sent while the pause lasts (the nested event loops take sent
// messages), each in a nested event loop of its own. Those that arrive during the pause are
// queued, copied, in arrival order and handled only when the pause ends, one after the other,
// before anything that arrives later; a new WM_COPYDATA never overtakes them. Window
// procedures return innermost first, so a sender whose message came in before another's
// returns when that one's nested loop has returned too.
struct Reception::Platform {
    std::unique_ptr<CopyDataFilter> filter;  // installed while listening
    HANDLE receiverMutex = nullptr;          // held while listening
    bool anotherReceives = false;

    // One held WM_COPYDATA: its envelope (when still to be handled) and its nested loop.
    struct Waiter {
        std::string envelope;
        bool done = false;
        QEventLoop* loop = nullptr;
    };
    Waiter* paused = nullptr;     // the one whose message hit
    Waiter* draining = nullptr;   // the queued one being handled now
    std::deque<Waiter*> queue;    // arrived during the pause, in order
    int waiting = 0;              // nested loops running
    // Cleared when the reception is destroyed while loops run (the window closed during a
    // pause): each loop's window procedure then returns without touching it.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    static void Finish(Waiter* w) {
        if (!w) return;
        w->done = true;
        if (w->loop) w->loop->quit();
    }
    // Runs a nested event loop until the waiter is done; false when the reception was
    // destroyed meanwhile.
    bool Wait(Waiter& w) {
        const std::shared_ptr<bool> living = alive;
        QEventLoop loop;
        w.loop = &loop;
        ++waiting;
        if (!w.done) loop.exec(QEventLoop::AllEvents);
        if (!*living) return false;
        --waiting;
        w.loop = nullptr;
        return true;
    }
};

Reception::Reception(EnvelopeTargets targets, QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_platform(std::make_unique<Platform>()) {}

Reception::~Reception() {
    Close();
    *m_platform->alive = false;
}

// The filter sees every native message of the application's windows; it hands on the
// envelopes of WM_COPYDATA that reach the window captioned `caption` and lets every message,
// those included, go on to Qt's own window procedure.
bool Reception::Listen(const QString& caption, QString* error) {
    Close();
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QAbstractEventDispatcher::instance(app->thread()) == nullptr) {
        if (error) *error = QStringLiteral("There is no application event loop to receive messages in.");
        return false;
    }
    if (QThread::currentThread() != app->thread()) {
        if (error) *error = QStringLiteral("Messages can only be received on the application's main thread.");
        return false;
    }
    // One receiving window a user session: a second one would take some of the senders'
    // messages (they find the first window of the caption) and leave its own window without them.
    const std::wstring name = L"Local\\Tracewell.Receiver." + caption.toLower().toStdWString();
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        mutex = nullptr;
        m_platform->anotherReceives = true;
        if (error) *error = QStringLiteral("another window already receives the messages of this user");
        return false;
    }
    m_platform->anotherReceives = false;
    m_platform->receiverMutex = mutex;
    m_platform->filter = std::make_unique<CopyDataFilter>(caption,
                                                [this](std::string_view envelope) { OnEnvelope(envelope); });
    app->installNativeEventFilter(m_platform->filter.get());
    return true;
}

void Reception::Close() {
    DropPause();
    if (m_platform->receiverMutex) {
        ReleaseMutex(m_platform->receiverMutex);
        CloseHandle(m_platform->receiverMutex);
        m_platform->receiverMutex = nullptr;
    }
    if (!m_platform->filter) return;
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(m_platform->filter.get());
    // Destroying the filter also takes it off the event dispatcher, should the application be
    // gone already. While window procedures of held senders still run in it (the window
    // closes during a pause), it is left to the program's end instead.
    if (m_platform->waiting > 0) {
        (void)m_platform->filter.release();
        return;
    }
    m_platform->filter.reset();
}

std::string Reception::Address() const { return {}; }

bool Reception::IsListening() const { return m_platform->filter != nullptr; }

bool Reception::AnotherReceives(long* process) const {
    if (process) *process = 0;
    return m_platform->anotherReceives;
}

// A sent WM_COPYDATA cannot be made to wait: while held, OnEnvelope keeps it aside instead.
void Reception::SetNotifierEnabled(bool) {}

bool Reception::WaitInTurn(std::string_view envelope) {
    Platform& p = *m_platform;
    if (!m_paused && p.queue.empty()) return false;
    Platform::Waiter w;
    w.envelope.assign(envelope);
    p.queue.push_back(&w);
    p.Wait(w);
    return true;
}

void Reception::PauseHere() {
    Platform& p = *m_platform;
    if (p.draining) {  // a queued one hit: its window procedure waits already
        p.paused = p.draining;
        return;
    }
    Platform::Waiter w;
    p.paused = &w;
    p.Wait(w);
}

void Reception::EndPause() {
    Platform& p = *m_platform;
    Platform::Finish(std::exchange(p.paused, nullptr));
    while (!m_paused && !p.queue.empty()) {
        Platform::Waiter* w = p.queue.front();
        p.queue.pop_front();
        p.draining = w;
        Deliver(w->envelope);
        p.draining = nullptr;
        if (m_paused) break;  // w hit: it is the one held now
        Platform::Finish(w);
    }
}

void Reception::DropPause() {
    Platform& p = *m_platform;
    m_paused = false;
    Platform::Finish(std::exchange(p.paused, nullptr));
    while (!p.queue.empty()) {
        Platform::Finish(p.queue.front());
        p.queue.pop_front();
    }
}

quint64 Reception::HeldSendersLost() const { return 0; }

// Window messages hold no connections: nothing is ever refused or closed.
quint64 Reception::ClosedConnections() const { return 0; }

}  // namespace tw::viewer
