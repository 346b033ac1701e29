#include "tw/core/reception.hpp"

#include "tw/messaging/receiver.hpp"

#include <QSocketNotifier>

namespace tw::viewer {

namespace {
// Longest one notifier call keeps serving envelopes before the window's other events get
// their turn: well below what a user notices, long enough that a stream costs few turns of
// the event loop.
constexpr std::chrono::microseconds kReceiveBudget{8000};
}  // namespace

// The local socket receiver, watched through a notifier while listening.
struct Reception::Platform {
    tw::messaging::EnvelopeReceiver receiver;
    QSocketNotifier* notifier = nullptr;
};

Reception::Reception(EnvelopeTargets targets, QObject* parent)
    : QObject(parent), m_targets(std::move(targets)), m_platform(std::make_unique<Platform>()) {}

Reception::~Reception() { Close(); }

bool Reception::Listen(const QString& caption, QString* error) {
    Close();
    std::string reason;
    const bool ok = m_platform->receiver.Listen(
        caption.toStdString(), [this](std::string_view envelope) { OnEnvelope(envelope); }, &reason);
    if (!ok) {
        if (error) *error = QString::fromStdString(reason);
        return false;
    }
    m_platform->notifier = new QSocketNotifier(qintptr(m_platform->receiver.WatchFd()), QSocketNotifier::Read, this);
    if (m_holds > 0) m_platform->receiver.Pause();
    m_closedShown = 0;
    m_heldLostShown = 0;
    // The sender whose message hit left: nothing is held there any more, so the pause ends.
    m_platform->receiver.OnWithheldLost([this] { Continue(); });
    connect(m_platform->notifier, &QSocketNotifier::activated, this, [this] {
        m_platform->receiver.ProcessFor(kReceiveBudget);
        const quint64 closed = ClosedConnections();
        if (closed != m_closedShown) {
            m_closedShown = closed;
            emit connectionsClosed(closed);
        }
        const quint64 lost = HeldSendersLost();
        if (lost != m_heldLostShown) {
            m_heldLostShown = lost;
            emit heldSenderLost();
        }
    });
    return true;
}

void Reception::Close() {
    if (m_platform->notifier) {
        m_platform->notifier->setEnabled(false);
        delete m_platform->notifier;
        m_platform->notifier = nullptr;
    }
    m_platform->receiver.Close();  // every held sender returns: its connection is gone
    m_paused = false;
}

std::string Reception::Address() const { return m_platform->receiver.SocketPath(); }

bool Reception::IsListening() const { return m_platform->receiver.IsListening(); }

bool Reception::AnotherReceives(long* process) const {
    const long other = m_platform->receiver.OtherReceiver();
    if (process) *process = other > 0 ? other : 0;
    return other != 0;
}

// While held, senders wait in their calls: their frames wait in the receiver, in order.
void Reception::SetNotifierEnabled(bool on) {
    if (on) {
        m_platform->receiver.Resume();
    } else {
        m_platform->receiver.Pause();
    }
}

// Inside the receiver's handler: the sender of this message waits for its acknowledgement,
// everything after it waits in the receiver.
void Reception::PauseHere() {
    if (!m_platform->receiver.WithholdAcknowledgement()) m_platform->receiver.Pause();
}

void Reception::EndPause() {
    m_platform->receiver.ReleaseWithheld();
    if (m_holds == 0) m_platform->receiver.Resume();
}

void Reception::DropPause() {}

// The receiver hands nothing on while paused: what arrives waits there.
bool Reception::WaitInTurn(std::string_view) { return false; }

quint64 Reception::HeldSendersLost() const { return m_platform->receiver.stats().heldLost; }

quint64 Reception::ClosedConnections() const { return m_platform->receiver.ClosedByReceiver(); }

}  // namespace tw::viewer
