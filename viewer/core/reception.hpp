#pragma once
// Reception: envelopes from the formula functions reach the store and the scratch list.

#include "core/message_sink.hpp"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string_view>

#ifdef Q_OS_WIN
namespace tw::viewer {
class CopyDataFilter;
}
#else
class QSocketNotifier;

namespace tw::messaging {
class EnvelopeReceiver;
}
#endif

namespace tw::viewer {

// Where received envelopes go. The main window fills both with its (created on first use)
// ScratchManager's Add and MessageManager's Add.
struct EnvelopeTargets {
    std::function<void(qint32 id, const QString& text)> scratch;
    std::function<void(const MessageRef& message)> message;
};

enum class Received { Scratch, Message, Malformed };

// Cuts one envelope (code-page bytes before the zero byte) and hands it on: a scratch
// envelope (type 5) to the scratch list with its identifier (the record-number field) and
// trimmed text, every other envelope as a new MessageSink to the store, which drops it while
// messaging is stopped. A malformed envelope goes nowhere; why receives the reason.
Received ReceiveEnvelope(std::string_view envelope, const EnvelopeTargets& targets,
                         QString* why = nullptr);

// The viewer's receiving end on this platform: listens under the main window's caption from
// creation (Listen) to destruction, and runs ReceiveEnvelope for each envelope on the UI
// thread. Senders wait until ReceiveEnvelope has returned.
// Linux: the local socket receiver, watched through a QSocketNotifier (reception.cpp).
// Windows: WM_COPYDATA arriving at the top-level window with that caption, seen through a
// native event filter installed on the application (reception_win32.cpp); the window itself
// is the caller's, and senders find it only while it has a native window.
class Reception : public QObject {
    Q_OBJECT
public:
    explicit Reception(EnvelopeTargets targets, QObject* parent = nullptr);
    ~Reception() override;

    // Starts receiving under caption ("Tracewell"). False with *error when that fails; the
    // viewer then runs without reception. Call it on the UI thread.
    bool Listen(const QString& caption, QString* error = nullptr);
    // Stops receiving; waiting senders are released.
    void Close();
    bool IsListening() const;

    // Envelopes handled, and malformed ones dropped, since creation.
    quint64 ReceivedCount() const { return m_received; }
    quint64 MalformedCount() const { return m_malformed; }
    // Connections the receiving end refused or closed itself since Listen (idle ones that made
    // room, incomplete frames timed out, refused floods); 0 where there are no connections.
    quint64 ClosedConnections() const;
#ifndef Q_OS_WIN
    // The transport's receiver (statistics, socket path).
    const tw::messaging::EnvelopeReceiver& Receiver() const { return *m_receiver; }
#endif

signals:
    // A malformed envelope was dropped (nothing else happens).
    void envelopeDropped(const QString& why);
    // ClosedConnections() changed.
    void connectionsClosed(quint64 total);

private:
    void OnEnvelope(std::string_view envelope);

    EnvelopeTargets m_targets;
#ifdef Q_OS_WIN
    std::unique_ptr<CopyDataFilter> m_filter;  // installed while listening
#else
    std::unique_ptr<tw::messaging::EnvelopeReceiver> m_receiver;
    QSocketNotifier* m_notifier = nullptr;
#endif
    quint64 m_received = 0;
    quint64 m_malformed = 0;
    quint64 m_closedShown = 0;  // ClosedConnections() when connectionsClosed was last emitted
};

}  // namespace tw::viewer
