// Process to process: a sender process (doing what tracetap does per call: SendEnvelopeTo and
// wait for the acknowledgement) against the real tracewell32 program, against twlisten (a
// receiver of the same transport that only acknowledges) and against a bare Unix-socket
// ping-pong of the same frame size between two processes, alternated in one run.
//
//   viewer_process_bench [--calls N] [--rounds R] [--grow LINES] [--platform NAME]
//
// --calls N        calls per measurement (default 50000)
// --rounds R       alternated rounds; medians are reported (default 5)
// --grow LINES     afterwards, keep sending to the viewer until its page holds LINES lines,
//                  reporting the rate of every block of N calls, and the resident memory the
//                  viewer grew by per line beyond the code-page text of the messages
// --platform NAME  Qt platform of the viewer: offscreen (default without DISPLAY) or xcb
//                  (shown, the default with DISPLAY)
// --hold SECONDS   keep the viewer running that long at the end (its pid is printed), to look
//                  at it with other tools
//
// Pin everything to one core with taskset -c 0 to measure the single-core case.
#include "run_figures.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using tw::bench::LoadAverage;
using tw::bench::Median;

using Clock = std::chrono::steady_clock;
namespace msg = tw::messaging;

const std::string kText = "record 12345 computed: running total 4711.50 for customer 0815";

// A believable mix: formula entries and exits around messages and objects.
std::string Envelope(long i) {
    if (i % 50 == 0) return msg::BuildEnvelope(6, "{@Total}", std::int32_t(i), "", "");
    if (i % 50 == 49) return msg::BuildEnvelope(7, "", 0, "", "");
    if (i % 7 == 0) return msg::BuildEnvelope(4, "Total = " + std::to_string(i), std::int32_t(i), "Total",
                                              std::to_string(i));
    return msg::BuildEnvelope(0, kText, std::int32_t(i), "", "");
}

// Code-page bytes of the texts the viewer keeps for envelope i (message, name, value).
std::size_t TextBytes(long i) {
    const auto f = msg::ReadEnvelope(Envelope(i));
    return f ? f->message.size() + f->objectName.size() + f->objectValue.size() : 0;
}

std::size_t FrameSize() { return msg::local::kFrameHeaderSize + Envelope(1).size() + 1; }

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Calls per second of a bare ping-pong between two processes: frame out, one byte back.
double BarePingPong(long calls) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) return 0;
    const std::size_t size = FrameSize();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(sv[0]);
        std::string buf(size, '\0');
        for (;;) {
            std::size_t got = 0;
            while (got < size) {
                const ssize_t n = ::read(sv[1], buf.data() + got, size - got);
                if (n <= 0) ::_exit(0);
                got += std::size_t(n);
            }
            const char ack = msg::local::kAck;
            if (::write(sv[1], &ack, 1) != 1) ::_exit(0);
        }
    }
    ::close(sv[1]);
    std::string frame(size, 'x');
    const auto start = Clock::now();
    long done = 0;
    for (; done < calls; ++done) {
        if (::send(sv[0], frame.data(), size, MSG_NOSIGNAL) != ssize_t(size)) break;
        char ack;
        if (::recv(sv[0], &ack, 1, 0) != 1) break;
    }
    const double elapsed = Seconds(Clock::now() - start);
    ::close(sv[0]);
    ::waitpid(child, nullptr, 0);
    return double(done) / elapsed;
}

// A sender process: waits until a receiver takes one envelope, then times `calls` more,
// numbered from `first`. Returns calls per second, 0 on failure.
double SendFromProcess(long first, long calls) {
    int out[2];
    if (::pipe(out) != 0) return 0;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]);
        double rate = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(30);
        while (msg::SendEnvelopeTo(msg::kReceiverCaption, Envelope(first)) != msg::SendResult::Delivered) {
            if (Clock::now() > deadline) ::_exit(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const auto start = Clock::now();
        long i = 1;
        for (; i <= calls; ++i) {
            if (msg::SendEnvelopeTo(msg::kReceiverCaption, Envelope(first + i)) != msg::SendResult::Delivered) break;
        }
        if (i > calls) rate = double(calls) / Seconds(Clock::now() - start);
        msg::DisconnectThread();
        if (::write(out[1], &rate, sizeof rate) != ssize_t(sizeof rate)) ::_exit(1);
        ::_exit(0);
    }
    ::close(out[1]);
    double rate = 0;
    if (::read(out[0], &rate, sizeof rate) != ssize_t(sizeof rate)) rate = 0;
    ::close(out[0]);
    ::waitpid(child, nullptr, 0);
    return rate;
}

pid_t Start(const std::string& program, const std::vector<std::string>& args, const char* platform) {
    const pid_t child = ::fork();
    if (child != 0) return child;
    if (platform) ::setenv("QT_QPA_PLATFORM", platform, 1);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
}

long ResidentKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    return -1;
}

// CPU seconds (user and system) a process has used so far.
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat;
    std::getline(in, stat);
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(stat.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14) utime = std::stoull(f);
        if (i == 15) stime = std::stoull(f);
    }
    return double(utime + stime) / double(::sysconf(_SC_CLK_TCK));
}

std::string BinDir(const char* argv0) {
    std::string self(argv0);
    const auto slash = self.rfind('/');
    return slash == std::string::npos ? "." : self.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
    long calls = 50000, rounds = 5, grow = 0, hold = 0;
    std::string platform = std::getenv("DISPLAY") ? "xcb" : "offscreen";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--calls" && more) calls = std::atol(argv[++i]);
        else if (a == "--rounds" && more) rounds = std::atol(argv[++i]);
        else if (a == "--grow" && more) grow = std::atol(argv[++i]);
        else if (a == "--platform" && more) platform = argv[++i];
        else if (a == "--hold" && more) hold = std::atol(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--calls N] [--rounds R] [--grow LINES] [--platform offscreen|xcb] [--hold S]\n",
                         argv[0]);
            return 2;
        }
    }
    const std::string bin = BinDir(argv[0]);
    char tmpl[] = "/tmp/tw-procbench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string root = tmpl;
    const std::string viewerDir = root + "/viewer", listenDir = root + "/listen";

    std::printf("%ld calls a measurement, %ld rounds, viewer on %s, frame %zu bytes, load average %.1f\n",
                calls, rounds, platform.c_str(), FrameSize(), LoadAverage());
    ::setenv(msg::local::kDirectoryVariable, viewerDir.c_str(), 1);
    const pid_t viewer = Start(bin + "/tracewell32", {}, platform.c_str());
    ::setenv(msg::local::kDirectoryVariable, listenDir.c_str(), 1);
    const pid_t listener = Start(bin + "/twlisten", {"--quiet"}, nullptr);

    long sentToViewer = 0;
    std::size_t textBytes = 0;
    auto toViewer = [&] {
        ::setenv(msg::local::kDirectoryVariable, viewerDir.c_str(), 1);
        const double r = SendFromProcess(sentToViewer, calls);
        for (long i = sentToViewer; i <= sentToViewer + calls; ++i) textBytes += TextBytes(i);
        sentToViewer += calls + 1;
        return r;
    };
    std::vector<double> bare, listen, shown, listenCpu, viewerCpu;
    for (long round = 1; round <= rounds; ++round) {
        const double b = BarePingPong(calls);
        ::setenv(msg::local::kDirectoryVariable, listenDir.c_str(), 1);
        double cpu = CpuSeconds(listener);
        const double l = SendFromProcess(round * (calls + 1), calls);
        const double lc = (CpuSeconds(listener) - cpu) / double(calls) * 1e6;
        cpu = CpuSeconds(viewer);
        const double v = toViewer();
        const double vc = (CpuSeconds(viewer) - cpu) / double(calls) * 1e6;
        std::printf("round %ld: ping-pong %.0f/s, twlisten %.0f/s, tracewell32 %.0f/s (page %ld lines); "
                    "viewer/ping-pong %.2f, viewer/twlisten %.2f; receiver CPU a call: twlisten %.1f us, "
                    "tracewell32 %.1f us\n",
                    round, b, l, v, sentToViewer, v / b, v / l, lc, vc);
        std::fflush(stdout);
        bare.push_back(b);
        listen.push_back(l);
        shown.push_back(v);
        listenCpu.push_back(lc);
        viewerCpu.push_back(vc);
    }
    const double mb = Median(bare), ml = Median(listen), mv = Median(shown);
    std::printf("median: ping-pong %.0f/s, twlisten %.0f/s (%.2fx ping-pong time), tracewell32 %.0f/s "
                "(%.2fx ping-pong time); rate ratios viewer/ping-pong %.2f, viewer/twlisten %.2f, "
                "twlisten/ping-pong %.2f; receiver CPU a call: twlisten %.1f us, tracewell32 %.1f us; "
                "load average %.1f\n",
                mb, ml, mb / ml, mv, mb / mv, mv / mb, mv / ml, ml / mb, Median(listenCpu), Median(viewerCpu),
                LoadAverage());
    std::fflush(stdout);

    if (grow > 0) {
        // Resident memory from here on, after the viewer's page has settled.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const long rssBefore = ResidentKb(viewer);
        const long linesBefore = sentToViewer;
        const std::size_t textBefore = textBytes;
        std::vector<double> rates;
        while (sentToViewer < grow) {
            const double v = toViewer();
            rates.push_back(v);
            std::printf("page %ld lines: %.0f/s\n", sentToViewer, v);
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        const long rssAfter = ResidentKb(viewer);
        const double lines = double(sentToViewer - linesBefore);
        const double text = double(textBytes - textBefore);
        const double b = BarePingPong(calls);
        std::printf("growth: first block %.0f/s, last block %.0f/s (last/first %.2f); ping-pong now %.0f/s\n",
                    rates.front(), rates.back(), rates.back() / rates.front(), b);
        std::printf("resident memory: %ld kB -> %ld kB over %.0f lines: %.1f B a line, code-page text %.1f B, "
                    "beyond the text %.1f B a line\n",
                    rssBefore, rssAfter, lines, (rssAfter - rssBefore) * 1024.0 / lines, text / lines,
                    ((rssAfter - rssBefore) * 1024.0 - text) / lines);
    }
    if (hold > 0) {
        std::printf("viewer pid %d, held for %ld s\n", int(viewer), hold);
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::seconds(hold));
    }
    Stop(viewer);
    Stop(listener);
    std::system(("rm -rf '" + root + "'").c_str());
    return 0;
}
