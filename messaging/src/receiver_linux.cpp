// Receiving side of the local-socket transport. Everything is non-blocking and driven by one
// epoll descriptor that the owner watches; a connection holds at most one frame's bytes, so a
// slow, stalled or hostile client costs a bounded buffer and never holds up the others.
#include "tw/messaging/receiver.hpp"

#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"

#include <algorithm>
#include <array>
#include <deque>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <sys/un.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace tw::messaging {
namespace {

constexpr std::size_t kFrameCapacity = local::kFrameHeaderSize + kBufferSize;
constexpr int kEventsPerPass = 64;
constexpr int kAcceptsPerPass = 64;
constexpr long kDrainTickNs = 1'000'000;
// While something waits for time to pass (an incomplete frame, a client paused for its
// acknowledgements, new connections waiting for a place), the watch timer ticks this often.
constexpr long kWatchTickNs = 100'000'000;

std::atomic<unsigned> g_serial{0};

// Milliseconds of the monotonic clock.
std::int64_t NowMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    addr = {};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) return false;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Removes sockets of this caption that nobody listens on any more (left by a crashed owner).
void RemoveStaleSockets(const std::string& dir, const std::string& prefix) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d)) {
        if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
        const std::string path = dir + "/" + e->d_name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::geteuid()) continue;
        sockaddr_un addr{};
        if (!MakeAddress(path, addr)) continue;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) continue;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 && errno == ECONNREFUSED) {
            stale.push_back(path);
        }
        ::close(fd);
    }
    ::closedir(d);
    for (const auto& path : stale) ::unlink(path.c_str());
}

}  // namespace

struct EnvelopeReceiver::Impl {
    struct Connection {
        int fd = -1;
        std::size_t size = 0;                       // bytes held in buf
        bool ackOwed = false;                       // delivered, acknowledgement not yet written
        bool pipelining = false;                    // sent a frame before reading the last one's acknowledgement
        std::uint64_t lastActive = 0;               // activity serial: accepted, or last frame handled
        std::int64_t lastActiveMs = 0;              // monotonic time of that activity
        std::int64_t partialSince = 0;              // first bytes of the incomplete frame held; 0: none
        std::int64_t pausedSince = 0;               // acknowledgement owed and not writable since; 0: none
        bool keepWaiting = false;                   // announced that it understands kKeepWaiting
        bool waiting = false;                       // a whole frame in buf waits for the pause to end
        bool withheld = false;                      // its envelope was handled, the acknowledgement withheld
        std::int64_t toldToWaitMs = 0;              // when kKeepWaiting was last written to it
        std::array<char, kFrameCapacity> buf{};     // at most one frame
    };

    int epollFd = -1;
    int listenFd = -1;
    int lockFd = -1;             // held while listening: one receiver a caption and user
    bool listenSuspended = false;  // every place taken: new connections wait in the backlog
    int timerFd = -1;            // ticks while something waits for time to pass (see kWatchTickNs)
    bool timerArmed = false;
    int drainFd = -1;            // ticks every millisecond while Drain waits for a stream's frames
    std::uint64_t drainTicks = 0;
    std::uint64_t activity = 0;  // orders connections by their last activity
    std::string path;
    ino_t socketInode = 0;
    dev_t socketDevice = 0;
    Handler handler;
    Stats stats;
    std::unordered_map<int, std::unique_ptr<Connection>> connections;
    bool inHandler = false;
    std::uint64_t generation = 0;  // bumped by Close, so a handler that closes is noticed
    // Pause: while paused no envelope reaches the handler; connections whose frame is whole
    // wait in `waitingOrder`, in the order their frames were completed, and are watched for
    // their senders leaving only. At most one connection has its acknowledgement withheld.
    bool deliveryPaused = false;
    bool withholdAsked = false;      // the handler asked to withhold the current frame's acknowledgement
    int withheldFd = -1;
    bool withheldLost = false;       // its sender left; reported after the pass
    std::deque<int> waitingOrder;
    std::function<void()> onWithheldLost;

    void CloseConnection(int fd) {
        if (fd == withheldFd) withheldFd = -1;
        if (const auto it = connections.find(fd); it != connections.end() && it->second->waiting)
            waitingOrder.erase(std::find(waitingOrder.begin(), waitingOrder.end(), fd));
        ::epoll_ctl(epollFd, EPOLL_CTL_DEL, fd, nullptr);
        ::close(fd);
        connections.erase(fd);
        // A place is free: a connection waiting in the backlog may take it.
        ResumeListening();
    }

    // Closes a connection whose current frame (if any) was not handled, telling the client so:
    // its last byte is the retry byte, after the acknowledgements of the frames it had sent.
    void CloseUnhandled(Connection& conn) {
        const char retry = local::kRetry;
        (void)!::send(conn.fd, &retry, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        CloseConnection(conn.fd);
    }

    // Whether the client has written bytes the receiver has not read yet.
    static bool HasUnreadBytes(int fd) {
        char c;
        return ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
    }

    // Whether a new connection waits in the listen backlog.
    bool ConnectionWaiting() const {
        pollfd p{listenFd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
    }

    // Makes room for a connection waiting for a place. Never closes a connection with a call
    // in progress: only a client paused for acknowledgements it does not read (no sender
    // does that), one idle for kIdleBeforeClosingMs (no frame begun, nothing unread; its
    // sender, if it calls again, reads the retry byte and connects anew), or one whose frame
    // has stayed incomplete that long. Returns false when none qualifies: the new connection
    // then waits in the backlog until a place is free.
    bool MakeRoom(std::int64_t now) {
        for (int tries = 0; tries < 8; ++tries) {
            Connection* paused = nullptr;
            Connection* idle = nullptr;
            Connection* stalled = nullptr;
            for (auto& [fd, c] : connections) {
                if (c->waiting || c->withheld) continue;  // a call in progress
                if (c->ackOwed || c->pipelining) {
                    if (!paused || c->pausedSince < paused->pausedSince) paused = c.get();
                } else if (c->size == 0) {
                    if (now - c->lastActiveMs >= kIdleBeforeClosingMs && (!idle || c->lastActive < idle->lastActive))
                        idle = c.get();
                } else if (now - c->partialSince >= kIdleBeforeClosingMs &&
                           (!stalled || c->partialSince < stalled->partialSince)) {
                    stalled = c.get();
                }
            }
            if (paused) {
                ++stats.closedUnread;
                CloseConnection(paused->fd);
                return true;
            }
            if (idle) {
                if (HasUnreadBytes(idle->fd)) {
                    // A frame is on its way: read it, close another.
                    idle->lastActive = ++activity;
                    idle->lastActiveMs = now;
                    continue;
                }
                ++stats.closedIdle;
                CloseUnhandled(*idle);
                return true;
            }
            if (stalled) {
                ++stats.closedStalled;
                CloseUnhandled(*stalled);
                return true;
            }
            return false;
        }
        return false;
    }

    // New connections wait in the listen backlog (their senders' frames wait with them)
    // until a place is free; the watch timer looks again meanwhile.
    void SuspendListening() {
        if (listenSuspended || listenFd < 0) return;
        epoll_event ev{};
        ev.data.fd = listenFd;
        listenSuspended = ::epoll_ctl(epollFd, EPOLL_CTL_MOD, listenFd, &ev) == 0;
        ArmWatchTimer();
    }

    void ResumeListening() {
        if (!listenSuspended || listenFd < 0) return;
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.fd = listenFd;
        if (::epoll_ctl(epollFd, EPOLL_CTL_MOD, listenFd, &ev) == 0) listenSuspended = false;
    }

    // The sender's socket is full: the acknowledgement goes out when it has room again.
    void OweAck(Connection& conn) {
        conn.ackOwed = true;
        conn.pausedSince = NowMs();
        ++stats.ackWaits;
        ArmWatchTimer();
        Watch(conn, EPOLLOUT);
    }

    void ArmWatchTimer() {
        if (timerArmed || timerFd < 0) return;
        itimerspec tick{};
        tick.it_interval.tv_nsec = kWatchTickNs;
        tick.it_value.tv_nsec = kWatchTickNs;
        timerArmed = ::timerfd_settime(timerFd, 0, &tick, nullptr) == 0;
    }

    // Notes whether a connection holds an incomplete frame, and since when.
    void NotePartial(Connection& conn, std::int64_t now) {
        if (conn.size == 0 || conn.ackOwed || conn.waiting) {
            conn.partialSince = 0;
            return;
        }
        if (conn.partialSince != 0) return;
        conn.partialSince = now;
        ArmWatchTimer();
    }

    // The watch timer ticked: drops connections whose frame stayed incomplete too long, cuts
    // off clients whose acknowledgements have stayed unread too long, lets waiting connections
    // try for a place again, and stops the timer when nothing is left to watch.
    void OnWatchTick() {
        std::uint64_t ticks;
        (void)!::read(timerFd, &ticks, sizeof ticks);
        const std::int64_t now = NowMs();
        std::vector<Connection*> stalled;
        std::vector<Connection*> unread;
        bool watching = false;
        for (auto& [fd, c] : connections) {
            if (c->waiting || c->withheld) {
                watching = true;
                if (c->keepWaiting && now - c->toldToWaitMs >= local::kKeepWaitingIntervalMs) TellToWait(*c, now);
            } else if (c->pausedSince != 0) {
                if (now - c->pausedSince >= kUnreadAcknowledgementsTimeoutMs) {
                    unread.push_back(c.get());
                } else {
                    watching = true;
                }
            } else if (c->partialSince != 0) {
                if (now - c->partialSince >= kPartialFrameTimeoutMs) {
                    stalled.push_back(c.get());
                } else {
                    watching = true;
                }
            }
        }
        for (Connection* c : stalled) {
            ++stats.closedStalled;
            CloseUnhandled(*c);
        }
        for (Connection* c : unread) {
            ++stats.closedUnread;
            CloseConnection(c->fd);
        }
        // A pause ended from inside the handler: the frames that waited go on now.
        if (!deliveryPaused && !waitingOrder.empty() && !inHandler) Resume();
        // Waiting connections are looked at again: a connection may have become idle long
        // enough to give its place up.
        if (listenSuspended) {
            ResumeListening();
            watching = true;
        }
        if (!watching && timerArmed) {
            const itimerspec off{};
            ::timerfd_settime(timerFd, 0, &off, nullptr);
            timerArmed = false;
        }
    }

    void AcceptAll() {
        const std::int64_t now = NowMs();
        for (int i = 0; i < kAcceptsPerPass; ++i) {
            if (connections.size() >= kMaxConnections && (!ConnectionWaiting() || !MakeRoom(now))) {
                SuspendListening();
                return;
            }
            const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                // Out of descriptors or memory: the connection waits in the backlog until
                // some are free, instead of making the listening socket ready in a loop.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) SuspendListening();
                return;  // EAGAIN, or a transient error: try again on the next event
            }
            epoll_event ev{};
            ev.events = EPOLLIN | EPOLLRDHUP;
            ev.data.fd = fd;
            if (::epoll_ctl(epollFd, EPOLL_CTL_ADD, fd, &ev) != 0) {
                ::close(fd);
                continue;
            }
            auto conn = std::make_unique<Connection>();
            conn->fd = fd;
            conn->lastActive = ++activity;
            conn->lastActiveMs = now;
            connections.emplace(fd, std::move(conn));
            ++stats.accepted;
        }
    }

    // Returns false when the receiver was closed from inside the handler.
    bool Deliver(std::string_view envelope) {
        const std::uint64_t before = generation;
        inHandler = true;
        try {
            if (handler) handler(envelope);
            ++stats.envelopes;
        } catch (...) {
            ++stats.handlerExceptions;
        }
        inHandler = false;
        return generation == before;
    }

    // One pass over what is ready, waiting up to timeoutMs for something to be. With
    // level-triggered readiness anything left makes the epoll descriptor readable again, so
    // the owner's event loop stays responsive under load. Returns whether anything was ready.
    bool Pass(int timeoutMs) {
        if (inHandler || epollFd < 0) return false;
        std::array<epoll_event, kEventsPerPass> events{};
        const int n = ::epoll_wait(epollFd, events.data(), kEventsPerPass, timeoutMs);
        for (int i = 0; i < n; ++i) {
            const int fd = events[static_cast<std::size_t>(i)].data.fd;
            if (fd == listenFd) {
                AcceptAll();
                continue;
            }
            if (fd == timerFd) {
                OnWatchTick();
                continue;
            }
            if (fd == drainFd) {
                std::uint64_t ticks = 0;
                if (::read(drainFd, &ticks, sizeof ticks) == sizeof ticks) drainTicks += ticks;
                continue;
            }
            const auto it = connections.find(fd);
            if (it == connections.end()) continue;
            Connection& conn = *it->second;
            if (conn.waiting || conn.withheld) {
                HeldEvent(conn, events[static_cast<std::size_t>(i)].events);
                continue;
            }
            const bool open = conn.ackOwed ? Writable(conn) : Readable(conn);
            if (!open) break;  // closed from inside the handler
        }
        if (withheldLost && !inHandler) {
            withheldLost = false;
            if (onWithheldLost) onWithheldLost();
        }
        return n > 0;
    }

    // Writes kKeepWaiting to a held sender that understands it.
    void TellToWait(Connection& conn, std::int64_t now) {
        if (!conn.keepWaiting) return;
        const char wait = local::kKeepWaiting;
        (void)!::send(conn.fd, &wait, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        conn.toldToWaitMs = now;
    }

    // A held connection (watched for its sender leaving only) reported an event: if the sender
    // has gone, the connection is closed and counted; when it was the one whose
    // acknowledgement was withheld, the owner hears of it after the pass.
    void HeldEvent(Connection& conn, std::uint32_t events) {
        if ((events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) == 0) return;
        ++stats.heldLost;
        if (conn.withheld) withheldLost = true;
        CloseConnection(conn.fd);
    }

    // Puts a connection aside: its frame waits (waiting) or its acknowledgement is withheld.
    // Either way it is watched for its sender leaving only, and told to keep waiting.
    void Hold(Connection& conn) {
        const std::int64_t now = NowMs();
        conn.partialSince = 0;
        if (!Watch(conn, EPOLLRDHUP)) return;  // closed
        TellToWait(conn, now);
        ArmWatchTimer();
    }

    // Ends the pause: acknowledges the withheld frame, if any, then hands the waiting frames
    // on in order until one of them is withheld again.
    void Resume() {
        ReleaseWithheld();
        deliveryPaused = false;
        const std::uint64_t closedAt = generation;
        while (!deliveryPaused && !waitingOrder.empty() && generation == closedAt) {
            const int fd = waitingOrder.front();
            waitingOrder.pop_front();
            const auto it = connections.find(fd);
            if (it == connections.end()) continue;
            Connection& conn = *it->second;
            conn.waiting = false;
            if (!Watch(conn, EPOLLIN | EPOLLRDHUP)) continue;
            if (!HandleFramesNoting(conn)) return;
        }
        if (withheldLost && !inHandler) {
            withheldLost = false;
            if (onWithheldLost) onWithheldLost();
        }
    }

    void ReleaseWithheld() {
        if (withheldFd < 0) return;
        const auto it = connections.find(withheldFd);
        withheldFd = -1;
        if (it == connections.end()) return;
        Connection& conn = *it->second;
        conn.withheld = false;
        switch (SendAck(conn)) {
            case AckResult::Closed: return;
            case AckResult::Later:
                OweAck(conn);
                return;
            case AckResult::Sent: break;
        }
        conn.lastActive = ++activity;
        conn.lastActiveMs = NowMs();
        Watch(conn, EPOLLIN | EPOLLRDHUP);
    }

    // Frames taken off connections so far, delivered or dropped.
    std::uint64_t FramesHandled() const {
        return stats.envelopes + stats.handlerExceptions + stats.droppedMarker + stats.droppedNoZero;
    }

    bool SetDrainTick(bool on) {
        itimerspec tick{};
        if (on) {
            tick.it_interval.tv_nsec = kDrainTickNs;
            tick.it_value.tv_nsec = kDrainTickNs;
        }
        return drainFd >= 0 && ::timerfd_settime(drainFd, 0, &tick, nullptr) == 0;
    }

    // Passes over what is ready until no frame came for a tick or the budget is spent. A
    // synchronous sender answers its acknowledgement with its next frame within microseconds,
    // so a stream is served here instead of costing the owner's event loop a whole turn per
    // envelope. The waits between frames have no timeout of their own: arming a timer at every
    // wait cost more than handling the frame (most of all in a virtual machine, where setting
    // a timer leaves the guest). A timer armed once per call ticks every millisecond instead,
    // and each tick decides whether to go on.
    void Drain(std::chrono::microseconds budget) {
        if (inHandler || epollFd < 0) return;
        const std::uint64_t closedAt = generation;
        const std::uint64_t first = FramesHandled();
        const bool ready = Pass(0);
        if (generation != closedAt || epollFd < 0) return;  // closed from inside the handler
        if (!ready || FramesHandled() == first || !SetDrainTick(true)) return;
        const std::uint64_t maxTicks = std::max<std::uint64_t>(1, std::uint64_t(budget.count()) * 1000 / kDrainTickNs);
        const std::uint64_t ticksAtStart = drainTicks;
        std::uint64_t framesAtTick = FramesHandled();
        std::uint64_t ticksSeen = drainTicks;
        for (;;) {
            Pass(-1);
            if (generation != closedAt || epollFd < 0) return;
            if (drainTicks == ticksSeen) continue;
            ticksSeen = drainTicks;
            const std::uint64_t frames = FramesHandled();
            if (frames == framesAtTick || drainTicks - ticksAtStart >= maxTicks) break;
            framesAtTick = frames;
        }
        SetDrainTick(false);  // also clears a tick not read yet, so the descriptor goes quiet
    }

    // Watches a connection for reading (the usual state) or, while an acknowledgement is owed
    // to a client that has not read the earlier ones, for writing only.
    bool Watch(Connection& conn, std::uint32_t events) {
        epoll_event ev{};
        ev.events = events;
        ev.data.fd = conn.fd;
        if (::epoll_ctl(epollFd, EPOLL_CTL_MOD, conn.fd, &ev) == 0) return true;
        CloseConnection(conn.fd);
        return false;
    }

    enum class AckResult { Sent, Later, Closed };

    AckResult SendAck(Connection& conn) {
        const char ack = local::kAck;
        ssize_t n;
        do {
            n = ::send(conn.fd, &ack, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n == 1) return AckResult::Sent;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return AckResult::Later;
        CloseConnection(conn.fd);
        return AckResult::Closed;
    }

    // Reads what the client sent, within the room of one frame, and handles complete frames.
    // Returns false when the receiver was closed from inside the handler.
    bool Readable(Connection& conn) {
        const int fd = conn.fd;
        ssize_t n;
        do {
            n = ::recv(fd, conn.buf.data() + conn.size, conn.buf.size() - conn.size, 0);
        } while (n < 0 && errno == EINTR);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            CloseConnection(fd);
            return true;
        }
        if (n < 0) return true;
        conn.size += static_cast<std::size_t>(n);
        return HandleFramesNoting(conn);
    }

    // HandleFrames, then notes whether an incomplete frame is left.
    bool HandleFramesNoting(Connection& conn) {
        const int fd = conn.fd;
        if (!HandleFrames(conn)) return false;
        const auto it = connections.find(fd);
        if (it != connections.end() && it->second.get() == &conn) NotePartial(conn, NowMs());
        return true;
    }

    // The client can take the acknowledgement it is owed: write it, then go on with the frames
    // already read and back to reading.
    bool Writable(Connection& conn) {
        switch (SendAck(conn)) {
        case AckResult::Later: return true;
        case AckResult::Closed: return true;
        case AckResult::Sent: break;
        }
        conn.ackOwed = false;
        conn.pausedSince = 0;
        if (!Watch(conn, EPOLLIN | EPOLLRDHUP)) return true;
        return HandleFramesNoting(conn);
    }

    // Handles the complete frames held for a connection. A client that sends frames without
    // reading their acknowledgements is not dropped: once its side cannot take another one,
    // nothing more is read from it until it has (the frames it sent stay in its socket).
    bool HandleFrames(Connection& conn) {
        const int fd = conn.fd;
        int handled = 0;
        while (conn.size >= local::kFrameHeaderSize) {
            const std::uint32_t marker = local::GetU32(conn.buf.data());
            const std::uint32_t count = local::GetU32(conn.buf.data() + 4);
            if (count > static_cast<std::uint32_t>(kBufferSize)) {
                ++stats.refusedOversize;
                CloseConnection(fd);
                return true;
            }
            const std::size_t frameSize = local::kFrameHeaderSize + count;
            if (conn.size < frameSize) break;
            // A second whole frame read at once was written before the first one's
            // acknowledgement was read: no sender does that (it waits for each), so the client
            // may make room for others like one paused for its acknowledgements.
            if (++handled > 1) conn.pipelining = true;

            const char* payload = conn.buf.data() + local::kFrameHeaderSize;
            const bool envelope = marker == static_cast<std::uint32_t>(kEnvelopeMarker);
            if (envelope && deliveryPaused) {
                // Its sender waits with the frame until the pause ends.
                conn.waiting = true;
                waitingOrder.push_back(fd);
                Hold(conn);
                return true;
            }
            if (marker == local::kAnnounceMarker && count == 4) {
                conn.keepWaiting = (local::GetU32(payload) & local::kUnderstandsKeepWaiting) != 0;
            } else if (!envelope) {
                ++stats.droppedMarker;
            } else {
                // As if copied into a zero-filled buffer of 1024 bytes: the envelope ends at
                // the first zero byte; a full buffer without one has no end and is dropped.
                const void* zero = std::memchr(payload, 0, count);
                if (!zero && count == static_cast<std::uint32_t>(kBufferSize)) {
                    ++stats.droppedNoZero;
                } else {
                    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - payload)
                                                    : count;
                    if (!Deliver(std::string_view(payload, length))) return false;
                }
            }
            std::memmove(conn.buf.data(), conn.buf.data() + frameSize, conn.size - frameSize);
            conn.size -= frameSize;
            conn.lastActive = ++activity;
            conn.lastActiveMs = NowMs();
            conn.partialSince = 0;  // what follows, if anything, is a new frame
            if (withholdAsked) {
                withholdAsked = false;
                if (connections.count(fd) == 0) return true;
                conn.withheld = true;
                withheldFd = fd;
                deliveryPaused = true;
                Hold(conn);
                return true;
            }
            switch (SendAck(conn)) {
            case AckResult::Sent: break;
            case AckResult::Closed: return true;
            case AckResult::Later:
                OweAck(conn);
                return true;
            }
        }
        return true;
    }
};

bool EnvelopeReceiver::WithholdAcknowledgement() {
    if (!m_impl->inHandler) return false;
    m_impl->withholdAsked = true;
    return true;
}

void EnvelopeReceiver::Pause() { m_impl->deliveryPaused = true; }

void EnvelopeReceiver::ReleaseWithheld() { m_impl->ReleaseWithheld(); }

void EnvelopeReceiver::Resume() {
    if (m_impl->inHandler || m_impl->epollFd < 0) {
        m_impl->deliveryPaused = false;
        return;
    }
    m_impl->Resume();
}

bool EnvelopeReceiver::IsPaused() const { return m_impl->deliveryPaused; }
bool EnvelopeReceiver::HasWithheld() const { return m_impl->withheldFd >= 0; }
std::size_t EnvelopeReceiver::WaitingCount() const { return m_impl->waitingOrder.size(); }
void EnvelopeReceiver::OnWithheldLost(std::function<void()> lost) { m_impl->onWithheldLost = std::move(lost); }

EnvelopeReceiver::EnvelopeReceiver() : m_impl(std::make_unique<Impl>()) {}

EnvelopeReceiver::~EnvelopeReceiver() { Close(); }

bool EnvelopeReceiver::Listen(std::string_view caption, Handler handler, std::string* error) {
    Close();
    m_otherReceiver = 0;
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        Close();
        return false;
    };
    const std::string dir = local::SocketDirectoryPath();
    std::string why;
    if (!local::EnsurePrivateDirectory(dir, &why)) return fail(why);

    const std::string prefix = local::CaptionPrefix(caption);
    Impl& d = *m_impl;
    // One receiver a caption and user: a second one would take part of the senders' messages
    // and leave its window without them. The lock goes with the process, however it ends.
    const std::string lockPath = dir + "/" + prefix + "lock";
    d.lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    struct stat lockStat {};
    if (d.lockFd < 0 || ::fstat(d.lockFd, &lockStat) != 0 || !S_ISREG(lockStat.st_mode)) {
        return fail("cannot use the lock file " + lockPath + ": " + std::strerror(d.lockFd < 0 ? errno : EINVAL));
    }
    if (::flock(d.lockFd, LOCK_EX | LOCK_NB) != 0) {
        char owner[32] = {};
        const ssize_t n = ::pread(d.lockFd, owner, sizeof owner - 1, 0);
        const long pid = n > 0 ? std::strtol(owner, nullptr, 10) : 0;
        m_otherReceiver = pid > 0 ? pid : -1;
        return fail("another window already receives the messages of this user" +
                    (pid > 0 ? " (process " + std::to_string(pid) + ")" : std::string()));
    }
    const std::string me = std::to_string(::getpid()) + "\n";
    if (::ftruncate(d.lockFd, 0) == 0) (void)!::pwrite(d.lockFd, me.data(), me.size(), 0);
    RemoveStaleSockets(dir, prefix);
    const std::string name = prefix + std::to_string(::getpid()) + "." + std::to_string(g_serial++);
    const std::string finalPath = dir + "/" + name;
    const std::string tempPath = dir + "/.new-" + name;
    sockaddr_un addr{};
    if (!MakeAddress(finalPath, addr) || !MakeAddress(tempPath, addr)) {
        return fail("socket path too long: " + finalPath);
    }

    d.listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (d.listenFd < 0) return fail(std::string("socket: ") + std::strerror(errno));
    ::unlink(tempPath.c_str());
    // Bound under a temporary name and renamed once listening, so a sender or another
    // receiver never sees a socket that refuses connections because it is not ready yet.
    if (::bind(d.listenFd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
        return fail("bind " + tempPath + ": " + std::strerror(errno));
    }
    ::chmod(tempPath.c_str(), 0600);
    if (::listen(d.listenFd, 128) != 0 || ::rename(tempPath.c_str(), finalPath.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(tempPath.c_str());
        return fail("listen " + finalPath + ": " + reason);
    }
    struct stat st {};
    if (::stat(finalPath.c_str(), &st) == 0) {
        d.socketInode = st.st_ino;
        d.socketDevice = st.st_dev;
    }
    d.path = finalPath;

    d.epollFd = ::epoll_create1(EPOLL_CLOEXEC);
    if (d.epollFd < 0) return fail(std::string("epoll: ") + std::strerror(errno));
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.fd = d.listenFd;
    if (::epoll_ctl(d.epollFd, EPOLL_CTL_ADD, d.listenFd, &ev) != 0) {
        return fail(std::string("epoll: ") + std::strerror(errno));
    }
    d.timerFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    ev.data.fd = d.timerFd;
    if (d.timerFd < 0 || ::epoll_ctl(d.epollFd, EPOLL_CTL_ADD, d.timerFd, &ev) != 0) {
        return fail(std::string("timer: ") + std::strerror(errno));
    }
    d.timerArmed = false;
    d.drainFd = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    ev.data.fd = d.drainFd;
    if (d.drainFd < 0 || ::epoll_ctl(d.epollFd, EPOLL_CTL_ADD, d.drainFd, &ev) != 0) {
        return fail(std::string("timer: ") + std::strerror(errno));
    }
    d.handler = std::move(handler);
    d.stats = {};
    return true;
}

void EnvelopeReceiver::Close() {
    Impl& d = *m_impl;
    ++d.generation;
    for (auto& [fd, conn] : d.connections) ::close(fd);
    d.connections.clear();
    d.waitingOrder.clear();
    d.withheldFd = -1;
    d.withholdAsked = false;
    d.withheldLost = false;
    d.deliveryPaused = false;
    if (d.listenFd >= 0) {
        ::close(d.listenFd);
        d.listenFd = -1;
    }
    d.listenSuspended = false;
    if (!d.path.empty()) {
        // Remove the socket only if it is still ours (not replaced by another receiver).
        struct stat st {};
        if (::stat(d.path.c_str(), &st) == 0 && st.st_ino == d.socketInode && st.st_dev == d.socketDevice) {
            ::unlink(d.path.c_str());
        }
        d.path.clear();
    }
    if (d.timerFd >= 0) {
        ::close(d.timerFd);
        d.timerFd = -1;
        d.timerArmed = false;
    }
    if (d.drainFd >= 0) {
        ::close(d.drainFd);
        d.drainFd = -1;
    }
    if (d.epollFd >= 0) {
        ::close(d.epollFd);
        d.epollFd = -1;
    }
    // Last: the next receiver may start only once this one's socket has gone.
    if (d.lockFd >= 0) {
        ::close(d.lockFd);
        d.lockFd = -1;
    }
}

bool EnvelopeReceiver::IsListening() const { return m_impl->listenFd >= 0; }
int EnvelopeReceiver::WatchFd() const { return m_impl->epollFd; }
const EnvelopeReceiver::Stats& EnvelopeReceiver::stats() const { return m_impl->stats; }
std::uint64_t EnvelopeReceiver::ClosedByReceiver() const {
    const Stats& s = m_impl->stats;
    return s.closedIdle + s.closedStalled + s.closedUnread + s.refusedOversize;
}
long EnvelopeReceiver::OtherReceiver() const { return m_otherReceiver; }
std::size_t EnvelopeReceiver::ConnectionCount() const { return m_impl->connections.size(); }
const std::string& EnvelopeReceiver::SocketPath() const { return m_impl->path; }

void EnvelopeReceiver::ProcessEvents() { m_impl->Pass(0); }

void EnvelopeReceiver::ProcessFor(std::chrono::microseconds budget) { m_impl->Drain(budget); }

bool EnvelopeReceiver::WaitAndProcess(int timeoutMs) { return m_impl->Pass(timeoutMs); }

}  // namespace tw::messaging
