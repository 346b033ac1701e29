#include "tw/core/copydata_filter_win32.hpp"
#include "tw/core/reception.hpp"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

// clang-format off
#include <windows.h>
// clang-format on

namespace tw::viewer {

Reception::Reception(EnvelopeTargets targets, QObject* parent)
    : QObject(parent), m_targets(std::move(targets)) {}

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
        m_anotherReceives = true;
        if (error) *error = QStringLiteral("another window already receives the messages of this user");
        return false;
    }
    m_anotherReceives = false;
    m_receiverMutex = mutex;
    m_filter = std::make_unique<CopyDataFilter>(caption,
                                                [this](std::string_view envelope) { OnEnvelope(envelope); });
    app->installNativeEventFilter(m_filter.get());
    return true;
}

void Reception::Close() {
    if (m_receiverMutex) {
        ReleaseMutex(static_cast<HANDLE>(m_receiverMutex));
        CloseHandle(static_cast<HANDLE>(m_receiverMutex));
        m_receiverMutex = nullptr;
    }
    if (!m_filter) return;
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(m_filter.get());
    // Destroying the filter also takes it off the event dispatcher, should the application be
    // gone already.
    m_filter.reset();
}

bool Reception::IsListening() const { return m_filter != nullptr; }

bool Reception::AnotherReceives(long* process) const {
    if (process) *process = 0;
    return m_anotherReceives;
}

// A sent WM_COPYDATA cannot be made to wait: while held, OnEnvelope keeps it aside instead.
void Reception::SetNotifierEnabled(bool) {}

// Window messages hold no connections: nothing is ever refused or closed.
quint64 Reception::ClosedConnections() const { return 0; }

}  // namespace tw::viewer
