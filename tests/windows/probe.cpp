// tracewell_probe <tag> <caption>: a stand-in for the viewer's main window. It records every
// WM_COPYDATA as it arrived (its own window procedure, under the hook) and as the receiving
// hook handed it on, into the shared memory named by the tag. Ends on WM_QUIT.
#include "probe_shared.hpp"
#include "tw/messaging/copydata_hook.hpp"

#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>

namespace {

tw::wintest::ProbeShared* g_shared = nullptr;
tw::wintest::ProbeRecord g_current = {};  // filled by the hook first, then by the window procedure

// The window's own procedure: it runs after the hook has passed the message on.
LRESULT CALLBACK BaseProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return DefWindowProcA(window, message, wParam, lParam);
    tw::wintest::ProbeRecord& r = g_current;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    r.previousProcSaw = 1;
    r.marker = data->dwData;
    r.byteCount = data->cbData;
    r.senderWindow = static_cast<std::uint64_t>(wParam);
    HWND sender = reinterpret_cast<HWND>(wParam);
    r.senderThread = sender != nullptr ? GetWindowThreadProcessId(sender, nullptr) : 0;
    r.senderVisible = sender != nullptr && IsWindowVisible(sender) ? 1 : 0;
    if (sender != nullptr) GetWindowTextA(sender, r.senderCaption, sizeof r.senderCaption);
    r.rawCount = data->lpData == nullptr ? 0 : std::min<DWORD>(data->cbData, tw::wintest::kProbeRawBytes);
    if (r.rawCount > 0) std::memcpy(r.raw, data->lpData, r.rawCount);
    const LONG index = g_shared->count;
    if (index < tw::wintest::kProbeMaxRecords) g_shared->records[index] = r;
    InterlockedIncrement(&g_shared->count);
    g_current = {};
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const DWORD tag = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, tw::wintest::ProbeMappingName(tag).c_str());
    if (mapping == nullptr) return 3;
    g_shared = static_cast<tw::wintest::ProbeShared*>(
        MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(tw::wintest::ProbeShared)));
    if (g_shared == nullptr) return 3;

    WNDCLASSA wc = {};
    wc.lpfnWndProc = BaseProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "TracewellProbe";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, argv[2], WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
    if (window == nullptr) return 4;

    tw::messaging::CopyDataHook hook([](std::string_view envelope) {
        g_current.handedOn = 1;
        g_current.envelopeLength =
            static_cast<std::uint32_t>(std::min<std::size_t>(envelope.size(), sizeof g_current.envelope));
        std::memcpy(g_current.envelope, envelope.data(), g_current.envelopeLength);
    });
    if (!hook.HookWindow(window)) return 5;

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, tw::wintest::ProbeReadyName(tag).c_str());
    if (ready != nullptr) SetEvent(ready);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    hook.Unhook();
    DestroyWindow(window);
    return 0;
}
