// Round trip of one envelope under Wine (or Windows), all against the same receiving window in
// another process, in one run: a bare WM_COPYDATA (window found once, buffer reused), the
// library's SendEnvelope (lookup by caption, fresh buffer, hidden sender window at every call),
// and a formula call through IDispatch (Send.MsgEx) when Tracetap is registered.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "probe_shared.hpp"
#include "tw/messaging/envelope.hpp"
#include "tw/messaging/transport.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

double Microseconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) * 1e6 / static_cast<double>(f.QuadPart);
}

template <class F>
double MeasureMicros(int count, F&& send) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i) send(i);
    QueryPerformanceCounter(&end);
    return Microseconds(start, end) / count;
}

}  // namespace

// copydata_roundtrip [--viewer] [COUNT]: with --viewer, against the viewer already shown
// instead of a receiving window of its own (and without counting what arrives).
int main(int argc, char** argv) {
    const bool intoViewer = argc > 1 && std::strcmp(argv[1], "--viewer") == 0;
    if (intoViewer) --argc, ++argv;
    const int perRound = argc > 1 ? std::max(1, std::atoi(argv[1])) : 400;
    const int rounds = 5;
    CoInitialize(nullptr);
    std::unique_ptr<tw::wintest::Probe> probe;
    if (!intoViewer) {
        probe = std::make_unique<tw::wintest::Probe>();
        if (!probe->Ok()) {
            std::fprintf(stderr, "roundtrip_bench: the receiving window did not start\n");
            return 1;
        }
    } else if (FindWindowA(nullptr, "Tracewell") == nullptr) {
        std::fprintf(stderr, "roundtrip_bench: no viewer is shown\n");
        return 1;
    }
    const std::string envelope = tw::messaging::BuildEnvelope(0, "abc", 42, "", "");
    HWND receiver = FindWindowA(nullptr, "Tracewell");
    std::vector<char> buffer(tw::messaging::kBufferSize, '\0');
    std::copy(envelope.begin(), envelope.end(), buffer.begin());

    IDispatch* send = nullptr;
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(L"Tracetap.Send", &clsid))) {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                         reinterpret_cast<void**>(&send));
    }
    BSTR text = SysAllocString(L"abc");

    // The ways are interleaved message by message, so a receiver that slows down as its trace
    // grows, or a machine whose load changes, weighs on each of them alike.
    auto bareSend = [&](int) {
        COPYDATASTRUCT data = {3, static_cast<DWORD>(envelope.size() + 1), buffer.data()};
        SendMessageA(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    };
    auto findOnly = [&](int) { FindWindowA(nullptr, "Tracewell"); };
    auto librarySend = [&](int) { tw::messaging::SendEnvelope(envelope); };
    auto formulaCall = [&](int i) {
        VARIANT args[2];
        args[0].vt = VT_I4;  // last argument first
        args[0].lVal = i;
        args[1].vt = VT_BSTR;
        args[1].bstrVal = text;
        DISPPARAMS params = {args, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        send->Invoke(0x60030001, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
        VariantClear(&result);
    };
    std::vector<double> bare, lookup, library, formula;
    for (int round = 0; round < rounds; ++round) {
        double sums[4] = {};
        for (int i = 0; i < perRound; ++i) {
            sums[0] += MeasureMicros(1, bareSend);
            sums[1] += MeasureMicros(1, findOnly);
            sums[2] += MeasureMicros(1, librarySend);
            if (send != nullptr) sums[3] += MeasureMicros(1, [&](int) { formulaCall(i); });
        }
        bare.push_back(sums[0] / perRound);
        lookup.push_back(sums[1] / perRound);
        library.push_back(sums[2] / perRound);
        if (send != nullptr) formula.push_back(sums[3] / perRound);
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    const double b = median(bare), l = median(library), f = median(formula), k = median(lookup);
    std::printf("round trip%s, median of %d rounds of %d (%s):\n", intoViewer ? " into the shown viewer" : "",
                rounds, perRound, sizeof(void*) == 8 ? "64-bit" : "32-bit");
    std::printf("  bare WM_COPYDATA        %8.1f us\n", b);
    std::printf("  FindWindowA alone       %8.1f us\n", k);
    std::printf("  SendEnvelope            %8.1f us  (ratio bare/send %.2f)\n", l, b / l);
    if (send != nullptr)
        std::printf("  IDispatch Send.MsgEx    %8.1f us  (ratio bare/call %.2f)\n", f, b / f);
    SysFreeString(text);
    if (send != nullptr) send->Release();
    CoUninitialize();
    if (!probe) return 0;
    const LONG expected = rounds * perRound * (send != nullptr ? 3 : 2);
    std::printf("  envelopes received %ld of %ld\n", static_cast<long>(probe->Count()),
                static_cast<long>(expected));
    return probe->Count() == expected ? 0 : 1;
}
