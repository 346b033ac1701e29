// Sending side of the local-socket transport. Each thread keeps at most one connection to a
// receiver (the counterpart of the sender window one thread owns on Windows); it is found
// again by caption whenever the thread holds none.
#include "tw/messaging/transport.hpp"

#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace tw::messaging {
namespace {

struct ThreadConnection {
    int fd = -1;
    pid_t owner = 0;     // process that connected; a forked child must not share the stream
    std::string prefix;  // caption prefix the connection was made for
    bool waitInPoll = false;  // see ReadAnswer
    bool bounded = false;     // the socket carries a send bound
    bool announced = false;   // the receiver was told that this sender understands kKeepWaiting
    ThreadConnection() = default;
    ThreadConnection(const ThreadConnection&) = delete;
    ThreadConnection& operator=(const ThreadConnection&) = delete;
    ~ThreadConnection() { Reset(); }
    void Reset() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        prefix.clear();
        bounded = false;
        announced = false;
    }
};

thread_local ThreadConnection t_connection;

using Clock = std::chrono::steady_clock;

// What is left of a call's time, in milliseconds (at least 1); -1: no bound.
int Remaining(Clock::time_point deadline, bool bounded) {
    if (!bounded) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(std::min<long long>(left, 1 << 30)) : 0;
}

// A send and connect bound of the socket, for calls with a time limit.
void SetSendBound(int fd, int milliseconds) {
    timeval bound{};
    if (milliseconds > 0) {
        bound.tv_sec = milliseconds / 1000;
        bound.tv_usec = (milliseconds % 1000) * 1000;
    }
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
}

int ConnectTo(const std::string& path, int boundMs = -1) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof(addr.sun_path)) return -1;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    // With a bound, a receiver whose queue of waiting connections is full cannot hold the
    // caller longer than that in connect (the socket's send bound applies to it).
    if (boundMs > 0) SetSendBound(fd, boundMs);
    int rc;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A lookup that found no receiver, and the directory as it was then: as long as nothing was
// added to or removed from the directory (its change time stays), no receiver has come, so
// the next calls of a report that runs without a viewer cost a stat, not a directory scan.
// Directory times come from a clock that advances in ticks of a few milliseconds, so a change
// in the same tick as the one remembered would go unseen: only a change time older than
// kSettledNs is trusted, and a memo is used for kMemoNs at most.
constexpr std::int64_t kSettledNs = 50'000'000;
constexpr std::int64_t kMemoNs = 1'000'000'000;
struct NoReceiverMemo {
    std::string dir, prefix;
    timespec changed{};
    std::int64_t madeNs = 0;
    bool valid = false;
};
thread_local NoReceiverMemo t_noReceiver;

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

std::int64_t Ns(const timespec& t) { return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

std::int64_t NowNs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Ns(now);
}

// Looks the receiver up by caption: the first socket of this user in the private directory
// whose name carries the caption's prefix and that accepts a connection.
int FindReceiver(const std::string& prefix, int boundMs = -1) {
    const std::string dir = local::SocketDirectoryPath();
    struct stat dirStat {};
    const bool statted = ::stat(dir.c_str(), &dirStat) == 0;
    NoReceiverMemo& memo = t_noReceiver;
    const std::int64_t now = NowNs();
    if (statted && memo.valid && now - memo.madeNs < kMemoNs && memo.dir == dir && memo.prefix == prefix &&
        SameTime(memo.changed, dirStat.st_mtim))
        return -1;
    const int fd = [&] {
        if (!local::IsPrivateDirectory(dir)) return -1;
        DIR* d = ::opendir(dir.c_str());
        if (!d) return -1;
        int found = -1;
        const uid_t me = ::geteuid();
        while (dirent* e = ::readdir(d)) {
            if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
            const std::string path = dir + "/" + e->d_name;
            struct stat st {};
            if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != me) continue;
            found = ConnectTo(path, boundMs);
            if (found >= 0) break;
        }
        ::closedir(d);
        return found;
    }();
    // A socket whose receiver is gone (it refused the connection) does not change the
    // directory either; the receiver that replaces it binds anew, which does.
    memo.valid = fd < 0 && statted && now - Ns(dirStat.st_mtim) > kSettledNs;
    if (memo.valid) {
        memo.dir = dir;
        memo.prefix = prefix;
        memo.changed = dirStat.st_mtim;
        memo.madeNs = now;
    }
    return fd;
}

enum class WriteOutcome { Written, NothingWritten, Broken };

WriteOutcome WriteAll(int fd, const char* data, std::size_t size) {
    bool any = false;
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return any ? WriteOutcome::Broken : WriteOutcome::NothingWritten;
        }
        any = true;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return WriteOutcome::Written;
}

enum class Answer { Ack, Retry, None, Late };

// Whether this thread may run on one processor only (a single-processor machine, or pinned).
bool OnlyOneProcessor() {
    cpu_set_t set;
    CPU_ZERO(&set);
    return ::sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) == 1;
}

// Reads the receiver's answer to the frame just written; without waiting when `wait` is false
// (a write that failed part way: the receiver may have closed with the retry byte).
//
// A read asleep on the socket is also woken when the receiver takes the frame and so frees
// room to write (a wake-up meant for writers), and goes back to sleep. With one processor
// that wake-up makes the receiver give up the processor before it can answer: two more task
// switches a call, so there the wait is in poll, which wakes for the answer alone (`inPoll`).
// With more processors the early wake-up costs the receiver nothing and leaves the sender's
// processor awake for the answer; measured, the plain read is the faster one there.
// With a deadline the wait is always in poll, bounded by what is left of the call's time.
// A receiver that holds the frame (its viewer is paused) says so with kKeepWaiting: the call
// waits on, and a bounded one at least kKeepWaitingGraceMs (or its own time limit) after each.
Answer ReadAnswer(int fd, bool wait, bool inPoll, Clock::time_point* deadline = nullptr, int timeoutMs = 0) {
    char answer = 0;
    const bool bounded = deadline != nullptr;
    if (bounded) inPoll = true;
    for (;;) {
        if (wait && inPoll) {
            pollfd ready{fd, POLLIN, 0};
            const int left = bounded ? Remaining(*deadline, true) : -1;
            const int n = ::poll(&ready, 1, left);
            if (n < 0) {
                if (errno == EINTR) continue;
                return Answer::None;
            }
            if (n == 0) return Answer::Late;
        }
        const ssize_t n = ::recv(fd, &answer, 1, wait && !inPoll ? 0 : MSG_DONTWAIT);
        if (n == 1 && answer == local::kKeepWaiting) {
            if (bounded) {
                const auto grace = std::chrono::milliseconds(std::max(timeoutMs, local::kKeepWaitingGraceMs));
                *deadline = std::max(*deadline, Clock::now() + grace);
            }
            wait = true;
            continue;
        }
        if (n == 1) return answer == local::kAck ? Answer::Ack : answer == local::kRetry ? Answer::Retry : Answer::None;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && wait && (errno == EAGAIN || errno == EWOULDBLOCK)) continue;  // not there after all
        return Answer::None;
    }
}

// Connections one call may use: a kept one that has gone, and fresh ones the receiver closed
// without taking the frame (it needed room for other clients). From the third on, the call
// waits a little first, longer each time (1, 2, 4, ... up to 64 ms): nothing the receiver
// does makes that happen twice in a row, so the bound is far from being reached.
constexpr int kAttempts = 12;

void BackOff(int attempt) {
    if (attempt < 2) return;
    const int ms = 1 << std::min(attempt - 2, 6);
    timespec pause{0, long(ms) * 1'000'000};
    while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
}

// A sender with a time limit tells each new connection's receiver that it understands
// kKeepWaiting (once), so that a paused viewer does not make it give up.
Answer Announce(ThreadConnection& conn, Clock::time_point* deadline, int timeoutMs) {
    char announce[local::kFrameHeaderSize + 4] = {};
    local::PutFrameHeader(announce, local::kAnnounceMarker, 4);
    local::PutFrameHeader(announce + 4, 4, local::kUnderstandsKeepWaiting);  // count, then the bits
    const WriteOutcome written = WriteAll(conn.fd, announce, sizeof announce);
    if (written == WriteOutcome::NothingWritten) return Answer::Retry;
    return ReadAnswer(conn.fd, written == WriteOutcome::Written, true, deadline, timeoutMs);
}

SendResult SendFrame(std::string_view caption, const char* frame, std::size_t size, int timeoutMs = 0) {
    ThreadConnection& conn = t_connection;
    const bool bounded = timeoutMs > 0;
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(bounded ? timeoutMs : 0);
    const std::string prefix = local::CaptionPrefix(caption);
    if (conn.fd >= 0 && (conn.prefix != prefix || conn.owner != ::getpid())) conn.Reset();

    // A kept connection whose receiver has gone, or closed it as idle, fails on write before
    // anything was taken; a receiver that closes a connection without taking its frame says
    // so with the retry byte. In both cases the receiver is looked up afresh and the frame
    // sent again; nothing the receiver took is ever sent twice.
    bool retried = false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        BackOff(attempt);
        if (bounded && Remaining(deadline, true) == 0) {
            conn.Reset();
            return SendResult::TimedOut;
        }
        if (conn.fd < 0) {
            conn.fd = FindReceiver(prefix, bounded ? Remaining(deadline, true) : -1);
            if (conn.fd < 0) {
                if (bounded && Remaining(deadline, true) == 0) return SendResult::TimedOut;
                return retried ? SendResult::ReceiverLost : SendResult::NoReceiver;
            }
            conn.prefix = prefix;
            conn.owner = ::getpid();
            conn.waitInPoll = OnlyOneProcessor();
        }
        if (bounded || conn.bounded) {
            SetSendBound(conn.fd, bounded ? std::max(1, Remaining(deadline, true)) : 0);
            conn.bounded = bounded;
        }
        if (bounded && !conn.announced) {
            // Nothing of the envelope was sent yet: whatever goes wrong, it may go again.
            const Answer answer = Announce(conn, &deadline, timeoutMs);
            if (answer != Answer::Ack) {
                conn.Reset();
                if (answer == Answer::Late) return SendResult::TimedOut;
                retried = true;
                continue;
            }
            conn.announced = true;
        }
        const WriteOutcome written = WriteAll(conn.fd, frame, size);
        if (written == WriteOutcome::NothingWritten) {
            conn.Reset();
            continue;
        }
        const Answer answer = ReadAnswer(conn.fd, written == WriteOutcome::Written, conn.waitInPoll,
                                         bounded ? &deadline : nullptr, timeoutMs);
        if (answer == Answer::Ack) return SendResult::Delivered;
        conn.Reset();
        if (answer == Answer::Late) return SendResult::TimedOut;
        if (answer != Answer::Retry) return SendResult::ReceiverLost;
        retried = true;
    }
    return retried ? SendResult::ReceiverLost : SendResult::NoReceiver;
}

}  // namespace

SendResult SendEnvelopeWithin(std::string_view caption, std::string_view envelope, int timeoutMs) {
    // One fresh zero-filled buffer per send: header, envelope, and its zero byte.
    std::array<char, local::kFrameHeaderSize + kBufferSize> frame{};
    const std::size_t length = std::min(envelope.size(), static_cast<std::size_t>(kMaxEnvelopeLength));
    const auto byteCount = static_cast<std::uint32_t>(length + 1);
    local::PutFrameHeader(frame.data(), kEnvelopeMarker, byteCount);
    std::memcpy(frame.data() + local::kFrameHeaderSize, envelope.data(), length);
    return SendFrame(caption, frame.data(), local::kFrameHeaderSize + byteCount, timeoutMs);
}

SendResult SendEnvelopeTo(std::string_view caption, std::string_view envelope) {
    return SendEnvelopeWithin(caption, envelope, 0);
}

void SendEnvelope(std::string_view envelope) { SendEnvelopeTo(kReceiverCaption, envelope); }

SendResult SendRawFrameTo(std::string_view caption, std::uint32_t marker, std::uint32_t byteCount,
                          std::string_view payload) {
    std::string frame(local::kFrameHeaderSize, '\0');
    local::PutFrameHeader(frame.data(), marker, byteCount);
    frame.append(payload);
    return SendFrame(caption, frame.data(), frame.size());
}

void DisconnectThread() { t_connection.Reset(); }

}  // namespace tw::messaging
