// A formula call's cost beyond the send itself: building the envelope, and with a capture file
// the capture line written with one append. The send is a stub that returns at once, so the
// difference between the two is what capturing adds; then a real call with no viewer running,
// captured (what a report on a server pays).
#include "tw/formula_library/functions.hpp"
#include "tw/formula_library/tap_settings.hpp"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>

using namespace tw::formula;

namespace {

const std::filesystem::path& WorkDir() {
    static const std::filesystem::path dir = [] {
        char tmpl[] = "/tmp/tw-formula-bench-XXXXXX";
        std::filesystem::path made = ::mkdtemp(tmpl);
        std::filesystem::create_directory(made / "sockets");
        std::filesystem::permissions(made / "sockets", std::filesystem::perms::owner_all);
        return made;
    }();
    return dir;
}

tw::messaging::SendResult Taken(std::string_view) { return tw::messaging::SendResult::Delivered; }

void Configure(bool capture) {
    // An empty socket folder of its own: no viewer is ever found there.
    ::setenv("TRACEWELL_SOCKET_DIR", (WorkDir() / "sockets").c_str(), 1);
    if (capture)
        ::setenv("TRACETAP_CAPTURE", (WorkDir() / "capture.txt").c_str(), 1);
    else
        ::unsetenv("TRACETAP_CAPTURE");
    ReloadSettings();
}

void Run(benchmark::State& state) {
    const Send send;
    std::int32_t record = 0;
    for (auto _ : state) benchmark::DoNotOptimize(send.MsgEx("record computed: total 4711.25", ++record));
    state.SetItemsProcessed(state.iterations());
}

void BM_CallSendTakenAtOnce(benchmark::State& state) {
    Configure(false);
    SetDelivery(Taken);
    Run(state);
    SetDelivery(nullptr);
}

void BM_CallSendTakenAtOnceCaptured(benchmark::State& state) {
    Configure(true);
    SetDelivery(Taken);
    Run(state);
    SetDelivery(nullptr);
}

void BM_CallNoViewerCaptured(benchmark::State& state) {
    Configure(true);
    Run(state);
}

void BM_CallNoViewer(benchmark::State& state) {
    Configure(false);
    Run(state);
}

}  // namespace

BENCHMARK(BM_CallSendTakenAtOnce);
BENCHMARK(BM_CallSendTakenAtOnceCaptured);
BENCHMARK(BM_CallNoViewer);
BENCHMARK(BM_CallNoViewerCaptured);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(WorkDir(), ec);
    return 0;
}
