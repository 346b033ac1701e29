// The receiving side of the envelope transport on Linux. Plain C++, single-threaded, never
// blocks: the owner watches one file descriptor (WatchFd) for readability, for example with
// a QSocketNotifier or poll(), and calls ProcessEvents when it is readable.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tw::messaging {

class EnvelopeReceiver {
public:
    // Gets one envelope: code-page bytes before the first zero byte, at most 1023 bytes. The
    // sender is acknowledged, and so released, only after the handler has returned.
    using Handler = std::function<void(std::string_view envelope)>;

    // Counters since Listen, for status displays and tests.
    struct Stats {
        std::uint64_t envelopes = 0;          // handed to the handler
        std::uint64_t droppedMarker = 0;      // frames whose marker was not 3 (acknowledged)
        std::uint64_t droppedNoZero = 0;      // 1024-byte frames without a zero byte (acknowledged)
        std::uint64_t refusedOversize = 0;    // frames announcing more than 1024 bytes: connection closed
        std::uint64_t closedIdle = 0;         // idle connections closed to make room for a new one
        std::uint64_t closedStalled = 0;      // connections closed with a frame left incomplete (time-out or room)
        std::uint64_t closedUnread = 0;       // clients cut off for acknowledgements left unread (time-out or room)
        std::uint64_t handlerExceptions = 0;  // handler threw; the frame still counts as handled
        std::uint64_t accepted = 0;           // connections accepted
        std::uint64_t ackWaits = 0;           // times a client had acknowledgements unread and reading it paused
        std::uint64_t heldLost = 0;           // senders that left while their frame was held by a pause
    };

    // Simultaneous client connections. When all are taken, a new one takes the place of a
    // client paused for acknowledgements it does not read (or sending frames before reading
    // the acknowledgements of the earlier ones), else of the least recently active
    // connection idle for kIdleBeforeClosingMs (else of the oldest frame incomplete that long);
    // an idle or stalled one is closed with a retry byte, so its sender sends again on a new
    // connection. A connection with a call in progress is never closed for room: when none
    // qualifies, new connections wait in the listen backlog (their senders with them) until a
    // place is free. Nothing is refused, so no sender loses a message for lack of room.
    static constexpr std::size_t kMaxConnections = 256;
    static constexpr int kIdleBeforeClosingMs = 100;
    // A client whose acknowledgements have stayed unread this long (its socket takes no more)
    // is cut off; a sender reads each one before it sends again and never gets there.
    static constexpr int kUnreadAcknowledgementsTimeoutMs = 1000;
    // A frame that is still incomplete this long after its first bytes arrived is dropped
    // with its connection (the sender, if it is still there, is told to send it again).
    static constexpr int kPartialFrameTimeoutMs = 5000;

    EnvelopeReceiver();
    ~EnvelopeReceiver();
    EnvelopeReceiver(const EnvelopeReceiver&) = delete;
    EnvelopeReceiver& operator=(const EnvelopeReceiver&) = delete;

    // Starts receiving under `caption`. Returns false and sets *error when the private socket
    // directory or the socket cannot be made, or when another receiver of this caption runs
    // for the user (one at a time: see OtherReceiver). Listening again first closes the
    // previous socket.
    bool Listen(std::string_view caption, Handler handler, std::string* error = nullptr);
    // After Listen failed because another receiver of the caption runs: its process id, or
    // -1 when not known; 0 otherwise.
    long OtherReceiver() const;
    // Stops receiving: closes every connection (their senders return) and removes the socket.
    void Close();
    bool IsListening() const;

    // The one descriptor to watch for readability; -1 when not listening. It stays the same
    // from Listen to Close.
    int WatchFd() const;
    // Accepts, reads, hands complete envelopes to the handler and acknowledges them; returns
    // as soon as nothing more is ready. Calls made from inside the handler return at once.
    void ProcessEvents();
    // The same, and goes on handling frames as they arrive (a sender that was just acknowledged
    // sends its next one within microseconds) until none came for a millisecond or two, or the budget
    // is spent: one call serves a stream of many envelopes. Every envelope is still
    // acknowledged right after its handler returned. Calls from inside the handler return at once.
    void ProcessFor(std::chrono::microseconds budget);
    // Waits up to timeoutMs (-1: no limit) for WatchFd, then ProcessEvents. For tools and tests.
    // Returns false when the wait timed out or was interrupted by a signal.
    bool WaitAndProcess(int timeoutMs);

    // Pause. While paused no envelope reaches the handler: a client's whole frame waits (in
    // the order frames were completed, across clients) with its sender, which is told to keep
    // waiting if it announced that it understands so (see local_socket.hpp). New connections
    // are still taken. A paused receiver never blocks either.
    void Pause();
    // From inside the handler: the envelope being handled is not acknowledged when the handler
    // returns; its sender waits until ReleaseWithheld or Resume, and the receiver pauses.
    // False outside a handler.
    bool WithholdAcknowledgement();
    // Acknowledges the withheld envelope, if any (its sender goes on); stays paused.
    void ReleaseWithheld();
    // Acknowledges the withheld envelope, ends the pause and hands the frames that waited to
    // the handler in order, until the handler withholds one of them again. From inside the
    // handler, the waiting frames go on at the next pass instead.
    void Resume();
    bool IsPaused() const;
    bool HasWithheld() const;
    // Frames that wait for the pause to end.
    std::size_t WaitingCount() const;
    // Called after a pass in which the sender of the withheld envelope left (its connection
    // closed): the receiver stays paused; the owner decides whether to Resume.
    void OnWithheldLost(std::function<void()> lost);

    const Stats& stats() const;
    // Connections closed by the receiver itself (closedIdle, closedStalled, closedUnread,
    // refusedOversize): what a status display reports.
    std::uint64_t ClosedByReceiver() const;
    std::size_t ConnectionCount() const;
    // Path of the listening socket; empty when not listening.
    const std::string& SocketPath() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    long m_otherReceiver = 0;
};

}  // namespace tw::messaging
