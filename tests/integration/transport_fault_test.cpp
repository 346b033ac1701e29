// Faults and load on the envelope transport, between real processes: twlisten stands for the
// viewer (one test kills tracewell32 itself), tracetap processes and threads of this test are
// the senders.
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"
#include "tw/testing/socket_dir.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace tw::messaging;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

std::string BinDir() {
    const char* dir = std::getenv("TW_BIN_DIR");
    return dir ? dir : "build/bin";
}

// A child process with its standard output read line by line on a thread of the test.
class Child {
public:
    Child(std::vector<std::string> args, bool captureOutput, bool captureErrors = false) {
        int out[2] = {-1, -1};
        if (captureOutput && ::pipe2(out, O_CLOEXEC) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            if (captureOutput) ::dup2(out[1], STDOUT_FILENO);
            if (captureOutput && captureErrors) ::dup2(out[1], STDERR_FILENO);
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, STDIN_FILENO);
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        if (captureOutput) {
            ::close(out[1]);
            m_reader = std::thread([this, fd = out[0]] { Read(fd); });
        }
    }
    ~Child() {
        if (m_pid > 0 && !m_reaped) {
            ::kill(m_pid, SIGKILL);
            Wait(std::chrono::seconds(10));
        }
        if (m_reader.joinable()) m_reader.join();
    }
    pid_t pid() const { return m_pid; }

    // Waits up to `limit` for the child to end; returns its wait status, or -1 when it did not.
    int Wait(std::chrono::milliseconds limit) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            int status = 0;
            const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_reaped = true;
                return status;
            }
            if (Clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    // Waits until the child has printed at least n lines (or ended); returns the count then.
    std::size_t WaitLines(std::size_t n, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, limit, [&] { return m_lines.size() >= n || m_eof; });
        return m_lines.size();
    }
    // Every line, once the output has ended.
    std::vector<std::string> AllLines(std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        m_cv.wait_for(lock, limit, [&] { return m_eof; });
        return m_lines;
    }

private:
    void Read(int fd) {
        std::string pending;
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
            if (n < 0) continue;
            pending.append(buf, static_cast<std::size_t>(n));
            std::size_t start = 0, nl;
            std::vector<std::string> got;
            while ((nl = pending.find('\n', start)) != std::string::npos) {
                got.emplace_back(pending, start, nl - start);
                start = nl + 1;
            }
            pending.erase(0, start);
            std::lock_guard lock(m_mutex);
            for (auto& line : got) m_lines.push_back(std::move(line));
            m_cv.notify_all();
        }
        ::close(fd);
        std::lock_guard lock(m_mutex);
        m_eof = true;
        m_cv.notify_all();
    }

    pid_t m_pid = -1;
    bool m_reaped = false;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::string> m_lines;
    bool m_eof = false;
};

long RssKiB(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            in >> kib;
            return kib;
        }
        std::string rest;
        std::getline(in, rest);
    }
    return -1;
}

int Connect(const std::string& path) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return fd;
}

std::string Frame(std::string_view envelope) {
    std::string frame(local::kFrameHeaderSize, '\0');
    local::PutFrameHeader(frame.data(), kEnvelopeMarker, static_cast<std::uint32_t>(envelope.size() + 1));
    frame.append(envelope);
    frame.push_back('\0');
    return frame;
}

// "S3 17" is envelope 17 of sender 3: the last two words of a twlisten line.
bool SenderAndNumber(const std::string& line, std::string& sender, long& number) {
    const auto sp = line.rfind(' ');
    if (sp == std::string::npos || sp == 0) return false;
    const auto sp2 = line.rfind(' ', sp - 1);
    if (sp2 == std::string::npos) return false;
    sender = line.substr(sp2 + 1, sp - sp2 - 1);
    char* end = nullptr;
    number = std::strtol(line.c_str() + sp + 1, &end, 10);
    return end && *end == '\0';
}

// A file of n formula calls for tracetap: DebugSendMsgEx("<name> <i>", i).
std::string CallFile(const std::string& dir, const std::string& name, int n) {
    const std::string path = dir + "/" + name + ".calls";
    std::ofstream out(path);
    for (int i = 0; i < n; ++i) out << "DebugSendMsgEx(\"" << name << ' ' << i << "\", " << i << ")\n";
    return path;
}

class TransportFaultTest : public tw::test::PrivateSocketDir {
protected:
    // Starts twlisten and waits until its socket is ready; returns its socket path.
    std::string StartListener(std::unique_ptr<Child>& child) {
        child = std::make_unique<Child>(std::vector<std::string>{BinDir() + "/twlisten", "--ready"}, true);
        EXPECT_GE(child->WaitLines(1, std::chrono::seconds(20)), 1u);
        for (const auto& e : fs::directory_iterator(m_dir)) {
            if (e.is_socket()) return e.path().string();
        }
        return {};
    }
    std::unique_ptr<Child> Sender(const std::string& name, int n) {
        return std::make_unique<Child>(
            std::vector<std::string>{BinDir() + "/tracetap", "-f", CallFile(m_base, name, n)}, false);
    }
};

// Ten sender processes of 10,000 envelopes each; the receiver is killed while they run. Every
// sender ends normally and promptly.
TEST_F(TransportFaultTest, SendersReturnPromptlyWhenTheReceiverIsKilled) {
    std::unique_ptr<Child> rx;
    ASSERT_FALSE(StartListener(rx).empty());
    std::vector<std::unique_ptr<Child>> senders;
    for (int k = 0; k < 10; ++k) senders.push_back(Sender("S" + std::to_string(k), 10'000));
    // Kill it mid-run, once it has taken a good share (1 line is its ready line).
    ASSERT_GE(rx->WaitLines(2'001, std::chrono::seconds(40)), 2'001u);
    ASSERT_EQ(::kill(rx->pid(), SIGKILL), 0);
    const auto killedAt = Clock::now();
    ASSERT_NE(rx->Wait(std::chrono::seconds(10)), -1);
    for (auto& s : senders) {
        const int status = s->Wait(std::chrono::seconds(15));
        ASSERT_NE(status, -1) << "a sender hangs after the receiver was killed";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - killedAt).count();
    std::printf("[figures] receiver killed after %zu envelopes; all 10 senders ended %lld ms later\n",
                rx->WaitLines(0, std::chrono::milliseconds(0)) - 1, static_cast<long long>(ms));
}

// The same with the viewer itself as the receiver: tracewell32 (offscreen) is killed while ten
// tracetap processes of 10,000 calls each send to it. A sender thread of this test watches the
// viewer serve; the kill comes once it has taken 200 of that thread's envelopes.
TEST_F(TransportFaultTest, SendersReturnPromptlyWhenTheViewerIsKilled) {
    const std::string viewer = BinDir() + "/tracewell32";
    if (::access(viewer.c_str(), X_OK) != 0) GTEST_SKIP() << "no viewer built (" << viewer << ")";
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Child rx({viewer}, false);
    bool listening = false;
    for (int i = 0; i < 2000 && !listening; ++i) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(m_dir, ec)) listening = listening || e.is_socket();
        if (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(listening) << "tracewell32 did not start listening";

    std::vector<std::unique_ptr<Child>> senders;
    for (int k = 0; k < 10; ++k) {
        senders.push_back(std::make_unique<Child>(
            std::vector<std::string>{BinDir() + "/tracetap", "--summary", "-f", CallFile(m_base, "V" + std::to_string(k), 10'000)},
            true, true));
    }
    int watched = 0;
    for (int i = 0; watched < 200 && i < 100'000; ++i) {
        if (SendEnvelopeTo("Tracewell", BuildEnvelope(0, "watch " + std::to_string(i), i, "", "")) ==
            SendResult::Delivered) {
            ++watched;
        }
    }
    DisconnectThread();
    ASSERT_EQ(watched, 200);
    ASSERT_EQ(::kill(rx.pid(), SIGKILL), 0);
    const auto killedAt = Clock::now();
    ASSERT_NE(rx.Wait(std::chrono::seconds(10)), -1);

    long delivered = 0;
    for (auto& s : senders) {
        const int status = s->Wait(std::chrono::seconds(15));
        ASSERT_NE(status, -1) << "a sender hangs after the viewer was killed";
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        for (const auto& line : s->AllLines(std::chrono::seconds(5))) {
            const auto at = line.find(" delivered");
            const auto from = line.rfind(' ', at == std::string::npos ? 0 : at - 1);
            if (at != std::string::npos && from != std::string::npos) delivered += std::atol(line.c_str() + from + 1);
        }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - killedAt).count();
    EXPECT_LT(delivered, 100'000) << "the viewer was killed after the senders had ended";
    std::printf("[figures] viewer killed after %ld of 100,000 envelopes from the senders; all 10 ended %lld ms later\n",
                delivered, static_cast<long long>(ms));
}

// A sender killed in the middle of a frame, clients that connect and never write or stall in a
// header, one writing a byte a second: the others are served, and the receiver's memory does
// not grow with the number of such clients.
TEST_F(TransportFaultTest, BadClientsNeitherHoldUpOthersNorGrowTheReceiver) {
    std::unique_ptr<Child> rx;
    const std::string path = StartListener(rx);
    ASSERT_FALSE(path.empty());
    const std::string frame = Frame(BuildEnvelope(0, "half", 1, "", ""));

    // Warm up, then the baseline.
    auto warm = Sender("W", 2'000);
    ASSERT_NE(warm->Wait(std::chrono::seconds(40)), -1);
    ASSERT_GE(rx->WaitLines(2'001, std::chrono::seconds(20)), 2'001u);
    const long base = RssKiB(rx->pid());

    // Rounds of senders killed mid-frame: a process writes half a frame and is killed.
    auto killedMidFrame = [&](int n) {
        for (int i = 0; i < n; ++i) {
            int ready[2];
            ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
            const pid_t pid = ::fork();
            if (pid == 0) {
                const int fd = Connect(path);
                if (fd >= 0) (void)!::write(fd, frame.data(), frame.size() / 2);
                (void)!::write(ready[1], "x", 1);
                ::pause();
                ::_exit(0);
            }
            ::close(ready[1]);
            char c;
            ASSERT_EQ(::read(ready[0], &c, 1), 1);
            ::close(ready[0]);
            ::kill(pid, SIGKILL);
            int status;
            ::waitpid(pid, &status, 0);
        }
    };
    killedMidFrame(200);
    const long afterFirst = RssKiB(rx->pid());

    // Held connections: silent, and stalled inside a header.
    std::vector<int> held;
    for (int i = 0; i < 100; ++i) {
        const int fd = Connect(path);
        ASSERT_GE(fd, 0);
        if (i % 2) {
            ASSERT_EQ(::write(fd, frame.data(), 3), 3);
        }
        held.push_back(fd);
    }
    // One client writing a small frame slowly (a byte every 400 ms, within the receiver's
    // time-out for an incomplete frame).
    const std::string slowFrame = Frame("z");
    std::string slowAck;
    std::thread slow([&] {
        const int fd = Connect(path);
        if (fd < 0) return;
        for (std::size_t i = 0; i < slowFrame.size(); ++i) {
            (void)!::write(fd, &slowFrame[i], 1);
            if (i + 1 < slowFrame.size()) std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
        char a = 0;
        if (::read(fd, &a, 1) == 1) slowAck.push_back(a);
        ::close(fd);
    });

    // Meanwhile a real sender is served in full and in time.
    const auto t0 = Clock::now();
    auto sender = Sender("G", 5'000);
    const int status = sender->Wait(std::chrono::seconds(40));
    ASSERT_NE(status, -1) << "the sender was held up by the bad clients";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const auto senderMs = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_GE(rx->WaitLines(7'001, std::chrono::seconds(20)), 7'001u);
    const long withHeld = RssKiB(rx->pid());

    killedMidFrame(200);
    const long afterSecond = RssKiB(rx->pid());
    slow.join();
    EXPECT_EQ(slowAck, std::string(1, local::kAck));
    for (int fd : held) ::close(fd);

    // Every envelope of the good senders arrived, and the slow client's one.
    const std::size_t total = rx->WaitLines(7'002, std::chrono::seconds(20));
    EXPECT_EQ(total, 7'002u);
    // A killed sender's connection is dropped with its buffer: a second round of 200 costs
    // nothing more. 100 held connections cost at most their frame buffers (about 1 KiB each).
    // (AddressSanitizer keeps freed blocks in quarantine, so there every closed connection
    // shows as growth: the bounds hold for the normal build only.)
    if (!kAddressSanitizer) {
        EXPECT_LT(afterFirst - base, 512) << base << " -> " << afterFirst;
        EXPECT_LT(afterSecond - withHeld, 256) << withHeld << " -> " << afterSecond;
        EXPECT_LT(withHeld - afterFirst, 100 * 2 + 512) << afterFirst << " -> " << withHeld;
    }
    std::printf("[figures] receiver RSS %ld KiB; after 200 killed senders %ld; with 100 held clients %ld; "
                "after 200 more killed %ld; 5,000 envelopes beside them in %lld ms\n",
                base, afterFirst, withHeld, afterSecond, static_cast<long long>(senderMs));
}

// 300 connections that never write, held by another process, then a real sender: tracetap
// delivers every one of its 100 messages, in order, and ends with status 0.
TEST_F(TransportFaultTest, IdleConnectionsOfAnotherProcessNeverLockOutASender) {
    std::unique_ptr<Child> rx;
    const std::string path = StartListener(rx);
    ASSERT_FALSE(path.empty());
    int ready[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        std::vector<int> held;
        for (int i = 0; i < 300; ++i) held.push_back(Connect(path));
        (void)!::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char c;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    auto sender = Sender("R", 100);
    const int status = sender->Wait(std::chrono::seconds(40));
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::kill(rx->pid(), SIGTERM);
    const auto lines = rx->AllLines(std::chrono::seconds(20));
    ASSERT_EQ(lines.size(), 101u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string name;
        long number = -1;
        ASSERT_TRUE(SenderAndNumber(lines[i], name, number)) << lines[i];
        EXPECT_EQ(name, "R");
        EXPECT_EQ(number, long(i - 1));
    }
}

// Only the same user can send: the directory is 0700 and the socket 0600, and a process of
// another user can connect neither through the directory nor to the socket itself.
TEST_F(TransportFaultTest, AnotherUsersProcessCannotConnect) {
    std::unique_ptr<Child> rx;
    const std::string path = StartListener(rx);
    ASSERT_FALSE(path.empty());
    struct stat st {};
    ASSERT_EQ(::stat(m_dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to run a process as another user";
    }

    // The test's own base directory must not be what stops the other user.
    ASSERT_EQ(::chmod(m_base.c_str(), 0755), 0);
    auto asNobody = [&](bool traversable) {
        ::chmod(m_dir.c_str(), traversable ? 0711 : 0700);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
            const int fd = Connect(path);
            if (fd >= 0) ::_exit(1);                      // connected: wrong
            if (errno != EACCES) ::_exit(2);
            // The sender refuses the directory and finds no receiver.
            if (SendEnvelopeTo("Tracewell", BuildEnvelope(0, "intruder", 1, "", "")) != SendResult::NoReceiver) ::_exit(3);
            ::_exit(0);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::chmod(m_dir.c_str(), 0700);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    };
    EXPECT_EQ(asNobody(false), 0) << "through the private directory";
    EXPECT_EQ(asNobody(true), 0) << "to the socket itself, with the directory opened for traversal";
    // Nothing of the intruder arrived.
    EXPECT_EQ(SendEnvelopeTo("Tracewell", BuildEnvelope(0, "owner", 1, "", "")), SendResult::Delivered);
    ASSERT_GE(rx->WaitLines(2, std::chrono::seconds(10)), 2u);
    ::kill(rx->pid(), SIGTERM);
    const auto lines = rx->AllLines(std::chrono::seconds(10));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("owner"), std::string::npos);
}

// Five sender processes and five sender threads, 10,000 envelopes each: every envelope arrives
// exactly once, and each sender's arrive in the order sent.
// Starts `args` with standard error (where tracetap --summary writes) into `errors`.
pid_t SpawnWithErrorsTo(const std::vector<std::string>& args, const std::string& errors) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// A thousand tracetap processes at once, 200 calls each: far more than the receiver has
// places for. Every call is delivered, none lost, each sender's order kept; against twlisten
// and against the viewer itself.
TEST_F(TransportFaultTest, AThousandSendersAtOnceLoseNothing) {
    // Under the sanitizers a process takes tens of megabytes: 300 still outnumber the places.
    constexpr int kSenders = kAddressSanitizer ? 300 : 1000;
    constexpr int kEach = 200;
    for (const bool viewer : {false, true}) {
        SCOPED_TRACE(viewer ? "tracewell32" : "twlisten");
        std::unique_ptr<Child> rx;
        if (viewer) {
            if (::access((BinDir() + "/tracewell32").c_str(), X_OK) != 0) continue;
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            rx = std::make_unique<Child>(std::vector<std::string>{BinDir() + "/tracewell32"}, false);
            bool listening = false;
            for (int i = 0; i < 2000 && !listening; ++i) {
                std::error_code ec;
                for (const auto& e : fs::directory_iterator(m_dir, ec)) listening = listening || e.is_socket();
                if (!listening) std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            ASSERT_TRUE(listening);
        } else {
            ASSERT_FALSE(StartListener(rx).empty());
        }
        const auto t0 = Clock::now();
        std::vector<pid_t> pids;
        for (int k = 0; k < kSenders; ++k) {
            const std::string name = "S" + std::to_string(k);
            pids.push_back(SpawnWithErrorsTo({BinDir() + "/tracetap", "--summary", "-f", CallFile(m_base, name, kEach)},
                                             m_base + "/" + name + ".out"));
        }
        int failed = 0;
        for (const pid_t pid : pids) {
            int status = 0;
            if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
        EXPECT_EQ(failed, 0);
        long delivered = 0, lost = 0;
        for (int k = 0; k < kSenders; ++k) {
            std::ifstream in(m_base + "/S" + std::to_string(k) + ".out");
            std::string summary;
            std::getline(in, summary);
            long calls = 0, d = 0, none = 0, l = 0;
            if (std::sscanf(summary.c_str(), "tracetap: %ld calls, %ld delivered, %ld without viewer, %ld lost", &calls,
                            &d, &none, &l) == 4) {
                delivered += d;
                lost += l + none;
            } else {
                ADD_FAILURE() << "S" << k << ": " << summary;
            }
        }
        EXPECT_EQ(delivered, long(kSenders) * kEach);
        EXPECT_EQ(lost, 0);
        if (!viewer) {
            ::kill(rx->pid(), SIGTERM);
            const auto lines = rx->AllLines(std::chrono::seconds(30));
            std::map<std::string, long> next;
            long bad = 0;
            for (std::size_t i = 1; i < lines.size(); ++i) {
                std::string sender;
                long number = -1;
                if (!SenderAndNumber(lines[i], sender, number) || number != next[sender]) ++bad;
                else ++next[sender];
            }
            EXPECT_EQ(bad, 0);
            EXPECT_EQ(lines.size(), 1u + std::size_t(kSenders) * kEach);
        } else {
            ::kill(rx->pid(), SIGTERM);
            EXPECT_NE(rx->Wait(std::chrono::seconds(20)), -1);
        }
        std::printf("[figures] %s: %d senders x %d calls at once: %ld delivered, %ld lost, %lld ms\n",
                    viewer ? "tracewell32" : "twlisten", kSenders, kEach, delivered, lost, static_cast<long long>(ms));
    }
}

TEST_F(TransportFaultTest, ManySendersEachEnvelopeOnceInSenderOrder) {
    // TW_LOAD_PER_SENDER=100000 runs the full million.
    const char* load = std::getenv("TW_LOAD_PER_SENDER");
    const int kPerSender = load ? std::max(1, std::atoi(load)) : 10'000;
    std::unique_ptr<Child> rx;
    ASSERT_FALSE(StartListener(rx).empty());
    const auto t0 = Clock::now();
    std::vector<std::unique_ptr<Child>> processes;
    for (int k = 0; k < 5; ++k) processes.push_back(Sender("P" + std::to_string(k), kPerSender));
    std::vector<std::thread> threads;
    std::atomic<int> undelivered{0};
    for (int k = 0; k < 5; ++k) {
        threads.emplace_back([k, kPerSender, &undelivered] {
            const std::string name = "T" + std::to_string(k) + " ";
            for (int i = 0; i < kPerSender; ++i) {
                if (SendEnvelopeTo("Tracewell", BuildEnvelope(0, name + std::to_string(i), i, "", "")) !=
                    SendResult::Delivered) {
                    ++undelivered;
                }
            }
            DisconnectThread();
        });
    }
    for (auto& t : threads) t.join();
    for (auto& p : processes) {
        const int status = p->Wait(std::chrono::seconds(50));
        ASSERT_NE(status, -1);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
    EXPECT_EQ(undelivered.load(), 0);
    // Every send has returned, so every envelope was handled: stop the receiver, read it all.
    ::kill(rx->pid(), SIGTERM);
    const auto lines = rx->AllLines(std::chrono::seconds(20));
    ASSERT_EQ(lines.size(), 1u + 10u * kPerSender);
    std::map<std::string, long> next;
    long bad = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string sender;
        long number = -1;
        if (!SenderAndNumber(lines[i], sender, number) || number != next[sender]) {
            if (++bad < 5) ADD_FAILURE() << "out of order or garbled: " << lines[i];
            continue;
        }
        ++next[sender];
    }
    EXPECT_EQ(bad, 0);
    ASSERT_EQ(next.size(), 10u);
    for (const auto& [sender, count] : next) EXPECT_EQ(count, kPerSender) << sender;
    std::printf("[figures] %d envelopes from 5 processes and 5 threads in %lld ms, all stored once, in order\n",
                10 * kPerSender, static_cast<long long>(ms));
}

}  // namespace
