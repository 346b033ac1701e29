#pragma once
// Reception: envelopes from the formula functions reach the store and the scratch list.

#include "tw/core/message_sink.hpp"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>

namespace tw::viewer {

class Breakpoints;

// Where received envelopes go. The main window fills both with its (created on first use)
// ScratchManager's Add and MessageManager's Add.
struct EnvelopeTargets {
    std::function<void(qint32 id, const QString& text)> scratch;
    std::function<void(const MessageRef& message)> message;
    // Whether the store keeps what it is handed (its ProcessMessages switch): breakpoints are
    // tested only for messages it keeps. Unset: always.
    std::function<bool()> keeping;
};

enum class Received { Scratch, Message, Malformed };

// Cuts one envelope (code-page bytes before the zero byte) and hands it on: a scratch
// envelope (type 5) to the scratch list with its identifier (the record-number field) and
// trimmed text, every other envelope as a new MessageSink to the store, which drops it while
// messaging is stopped. A malformed envelope goes nowhere; why receives the reason.
// The stored message, when there is one, also goes to *stored.
Received ReceiveEnvelope(std::string_view envelope, const EnvelopeTargets& targets,
                         QString* why = nullptr, MessageRef* stored = nullptr);

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

    // Breakpoints (owned by the caller; nullptr: none). Each message the store keeps is tested
    // while the set is armed; a hit pauses reception right after the message was stored:
    // Linux: its sender's acknowledgement is withheld, later envelopes wait in the receiver
    // in order, and the window's event loop runs on; Windows: the window procedure of that
    // WM_COPYDATA runs a nested event loop until the pause ends, and WM_COPYDATA sent meanwhile
    // waits in its own window procedure, queued in arrival order. Either way every sender
    // waits and the window stays usable.
    void SetBreakpoints(Breakpoints* breakpoints) { m_breakpoints = breakpoints; }
    bool IsPaused() const { return m_paused; }
    // Ends the pause: the sender that hit goes on and the envelopes that waited are handled in
    // order, each tested again (so Step pauses at the next one).
    void Continue();
    // Ends the pause and hands on what waited without testing it (Stop Messaging, Clear All).
    void ReleaseAll();
    // Senders that left while held by a pause, since Listen (Linux; 0 on Windows).
    quint64 HeldSendersLost() const;

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
    // A breakpoint or step hit: the message (just stored) and why, in words.
    void paused(const tw::viewer::MessageRef& message, const QString& reason);
    // The pause ended (Continue, ReleaseAll, Close, or the held sender left).
    void resumed();
    // A sender held by the pause left (HeldSendersLost() has grown).
    void heldSenderLost();

private:
    void OnEnvelope(std::string_view envelope);
    void Deliver(std::string_view envelope);
    void CheckBreakpoints(std::string_view envelope, const MessageRef& message);
    void SetNotifierEnabled(bool on);
    // Platform side of a pause (reception.cpp, reception_win32.cpp): PauseHere holds the
    // sender of the message just stored, EndPause lets it go and hands on what waited,
    // DropPause (closing) lets every waiting sender go without handling anything more.
    // WaitInTurn (Windows) makes an envelope that arrives during a pause wait its turn;
    // false when none is on.
    void PauseHere();
    void EndPause();
    void DropPause();
    bool WaitInTurn(std::string_view envelope);

    // What receiving takes on this platform (reception.cpp, reception_win32.cpp).
    struct Platform;

    EnvelopeTargets m_targets;
    std::unique_ptr<Platform> m_platform;
    int m_holds = 0;
    std::deque<std::string> m_heldEnvelopes;  // Windows: arrived while held, in order
    quint64 m_malformed = 0;
    quint64 m_closedShown = 0;  // ClosedConnections() when connectionsClosed was last emitted
    Breakpoints* m_breakpoints = nullptr;
    bool m_paused = false;
    bool m_releasing = false;  // ReleaseAll: what waited goes on untested
    quint64 m_heldLostShown = 0;
};

}  // namespace tw::viewer
