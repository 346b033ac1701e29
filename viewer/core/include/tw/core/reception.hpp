#pragma once
// Reception: envelopes from the formula functions reach the store and the scratch list.

#include "tw/core/message_sink.hpp"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

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
    // After Listen failed because another viewer of the same user receives: true (Linux: its
    // process id in *process when known). There can be only one.
    bool AnotherReceives(long* process = nullptr) const;

    // While held (a log loading, a long save), no envelope reaches the targets: on Linux the
    // senders wait until the last Release; on Windows, where a sent message cannot wait,
    // envelopes are kept aside in arrival order and handed on then. Either way they never
    // land in the middle of what the held command does. Holds nest.
    void Hold();
    void Release();
    bool IsHeld() const { return m_holds > 0; }

    // Holds reception for its lifetime (nothing when reception is null).
    class Held {
    public:
        explicit Held(Reception* reception) : m_reception(reception) {
            if (m_reception) m_reception->Hold();
        }
        ~Held() {
            if (m_reception) m_reception->Release();
        }
        Held(const Held&) = delete;
        Held& operator=(const Held&) = delete;

    private:
        Reception* m_reception;
    };

    // Malformed envelopes dropped since creation.
    quint64 MalformedCount() const { return m_malformed; }
    // Connections the receiving end refused or closed itself since Listen (idle ones that made
    // room, incomplete frames timed out, refused floods); 0 where there are no connections.
    quint64 ClosedConnections() const;
    // Where senders reach this window (Linux: its socket's path); empty while not listening
    // and on Windows, where they find it by its caption.
    std::string Address() const;

signals:
    // A malformed envelope was dropped (nothing else happens).
    void envelopeDropped(const QString& why);
    // ClosedConnections() changed.
    void connectionsClosed(quint64 total);

private:
    void OnEnvelope(std::string_view envelope);
    void Deliver(std::string_view envelope);
    void SetNotifierEnabled(bool on);

    // What receiving takes on this platform (reception.cpp, reception_win32.cpp).
    struct Platform;

    EnvelopeTargets m_targets;
    std::unique_ptr<Platform> m_platform;
    int m_holds = 0;
    std::deque<std::string> m_heldEnvelopes;  // Windows: arrived while held, in order
    quint64 m_malformed = 0;
    quint64 m_closedShown = 0;  // ClosedConnections() when connectionsClosed was last emitted
};

}  // namespace tw::viewer
