// Envelope costs, and the synchronous send to a receiver in another process that only
// acknowledges, next to a bare Unix-socket ping-pong of the same frame size in the same run.
// The summary at the end prints both rates and their ratio.
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <signal.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tw::messaging;

namespace {

const std::string kMessage = "Processing order 10231 for customer O'Neill Ltd";

void BM_BuildEnvelope_Message(benchmark::State& state) {
    std::int32_t record = 0;
    for (auto _ : state) {
        std::string e = BuildEnvelope(0, kMessage, ++record, "", "");
        benchmark::DoNotOptimize(e);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildEnvelope_Message);

void BM_BuildEnvelope_Object(benchmark::State& state) {
    for (auto _ : state) {
        std::string e = BuildEnvelope(4, "", 42, "RunningTotal", "49,058.96");
        benchmark::DoNotOptimize(e);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BuildEnvelope_Object);

void BM_ReadEnvelope_Message(benchmark::State& state) {
    const std::string e = BuildEnvelope(0, kMessage, 42, "", "");
    for (auto _ : state) {
        auto f = ReadEnvelope(e);
        benchmark::DoNotOptimize(f);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadEnvelope_Message);

void BM_ReadEnvelope_Object(benchmark::State& state) {
    const std::string e = BuildEnvelope(4, "", 42, "RunningTotal", "49,058.96");
    for (auto _ : state) {
        auto f = ReadEnvelope(e);
        benchmark::DoNotOptimize(f);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadEnvelope_Object);

// The frame both exchanges move: header, a typical envelope and its zero byte.
std::size_t FrameSize() { return local::kFrameHeaderSize + BuildEnvelope(0, kMessage, 1, "", "").size() + 1; }

// Bare ping-pong: a child process reads a whole frame with blocking reads and answers one byte.
void BM_BareSocketPingPong(benchmark::State& state) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
        state.SkipWithError("socketpair");
        return;
    }
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
                got += static_cast<std::size_t>(n);
            }
            const char ack = 6;
            if (::write(sv[1], &ack, 1) != 1) ::_exit(0);
        }
    }
    ::close(sv[1]);
    std::string frame(size, 'x');
    for (auto _ : state) {
        if (::send(sv[0], frame.data(), size, MSG_NOSIGNAL) != static_cast<ssize_t>(size)) break;
        char ack;
        if (::recv(sv[0], &ack, 1, 0) != 1) break;
    }
    ::close(sv[0]);
    ::waitpid(child, nullptr, 0);
    state.SetItemsProcessed(state.iterations());
}

// The real thing: SendEnvelopeTo against an EnvelopeReceiver in a child process whose
// handler does nothing, so the figure is the transport's own.
void BM_SynchronousSend(benchmark::State& state) {
    char tmpl[] = "/tmp/tw-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) {
        state.SkipWithError("mkdtemp");
        return;
    }
    const std::string dir = std::string(tmpl) + "/sockets";
    ::setenv(local::kDirectoryVariable, dir.c_str(), 1);
    int ready[2];
    if (::pipe(ready) != 0) return;
    const pid_t child = ::fork();
    if (child == 0) {
        EnvelopeReceiver receiver;
        if (!receiver.Listen("Tracewell", [](std::string_view) {})) ::_exit(1);
        const char c = 1;
        if (::write(ready[1], &c, 1) != 1) ::_exit(1);
        for (;;) receiver.WaitAndProcess(-1);
    }
    char c;
    if (::read(ready[0], &c, 1) != 1) state.SkipWithError("receiver did not start");
    ::close(ready[0]);
    ::close(ready[1]);
    const std::string envelope = BuildEnvelope(0, kMessage, 1, "", "");
    for (auto _ : state) {
        if (SendEnvelopeTo("Tracewell", envelope) != SendResult::Delivered) {
            state.SkipWithError("not delivered");
            break;
        }
    }
    DisconnectThread();
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::unsetenv(local::kDirectoryVariable);
    std::system(("rm -rf '" + std::string(tmpl) + "'").c_str());
    state.SetItemsProcessed(state.iterations());
}

// Alternated several times so both see the same machine conditions.
BENCHMARK(BM_BareSocketPingPong)->MinTime(1.0)->UseRealTime()->Repetitions(3);
BENCHMARK(BM_SynchronousSend)->MinTime(1.0)->UseRealTime()->Repetitions(3);

// Console output plus the rates of the two exchanges for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Aggregate || r.aggregate_name != "median") continue;
            const auto it = r.counters.find("items_per_second");
            if (it != r.counters.end()) m_rates[r.run_name.function_name] = it->second.value;
        }
    }
    void PrintSummary() const {
        const auto bare = m_rates.find("BM_BareSocketPingPong");
        const auto send = m_rates.find("BM_SynchronousSend");
        if (bare == m_rates.end() || send == m_rates.end()) return;
        std::printf("\nmedian bare ping-pong: %.0f/s (%.1f us), synchronous send: %.0f/s (%.1f us), ratio %.2f\n",
                    bare->second, 1e6 / bare->second, send->second, 1e6 / send->second, send->second / bare->second);
    }

private:
    std::map<std::string, double> m_rates;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintSummary();
    benchmark::Shutdown();
    return 0;
}
