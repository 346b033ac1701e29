#include "tw/core/reception.hpp"

#include "tw/core/copydata_filter_win32.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::viewer {

// The native event filter that sees WM_COPYDATA, and the mutex that makes this the one
// receiving window of the session.
struct Reception::Platform {
    std::unique_ptr<CopyDataFilter> filter;  // installed while listening
    HANDLE receiverMutex = nullptr;          // held while listening
    bool anotherReceives = false;
};

Reception::Reception(EnvelopeTargets targets, QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_platform(std::make_unique<Platform>()) {}

Reception::~Reception() { Close(); }

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
    if (m_platform->receiverMutex) {
        ReleaseMutex(m_platform->receiverMutex);
        CloseHandle(m_platform->receiverMutex);
        m_platform->receiverMutex = nullptr;
    }
    if (!m_platform->filter) return;
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(m_platform->filter.get());
    // Destroying the filter also takes it off the event dispatcher, should the application be
    // gone already.
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

// Window messages hold no connections: nothing is ever refused or closed.
quint64 Reception::ClosedConnections() const { return 0; }

}  // namespace tw::viewer
