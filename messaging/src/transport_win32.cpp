// Delivery of one envelope on Windows: a synchronous WM_COPYDATA to the top-level window
// captioned "Tracewell", named as sent by the calling thread's hidden window "frmHwnd".
#include "tw/messaging/transport.hpp"

#include "tw/messaging/envelope.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

namespace tw::messaging {
namespace {

constexpr char kSenderWindowClass[] = "TracewellSender";
constexpr char kSenderWindowCaption[] = "frmHwnd";

// The module this code is linked into (the formula library's DLL, or a program).
HINSTANCE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &module);
    return module;
}

// Thread-local slot holding the calling thread's hidden window. Win32 TLS rather than
// thread_local: it works the same in a DLL loaded at any time by any host.
DWORD SenderSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

BOOL CALLBACK RegisterSenderClass(PINIT_ONCE, PVOID, PVOID*) {
    WNDCLASSA wc = {};
    // The system's default procedure: nothing of ours runs in the hidden window, so it stays
    // harmless even if the library is unloaded while the window lives on.
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = OwnModule();
    wc.lpszClassName = kSenderWindowClass;
    if (RegisterClassA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return FALSE;
    return TRUE;
}

// The calling thread's hidden window, created on its first send and never shown. nullptr
// when it cannot be created (the envelope is then sent without a sender handle).
HWND SenderWindow() {
    const DWORD slot = SenderSlot();
    if (slot == TLS_OUT_OF_INDEXES) return nullptr;
    HWND window = static_cast<HWND>(TlsGetValue(slot));
    if (window != nullptr && IsWindow(window)) return window;
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    if (!InitOnceExecuteOnce(&once, RegisterSenderClass, nullptr, nullptr)) return nullptr;
    window = CreateWindowExA(0, kSenderWindowClass, kSenderWindowCaption, WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                             nullptr, OwnModule(), nullptr);
    TlsSetValue(slot, window);
    return window;
}

// What became of one WM_COPYDATA.
enum class Outcome { Delivered, Lost, TimedOut, Stale };

// One WM_COPYDATA to `receiver`. `buffer` must hold at least byteCount bytes. The viewer
// answers an envelope it took with TRUE; any other answer is checked with one more round trip
// to the window system, and only with `tellLoss`. A handle that no longer names a window is
// Stale (the caller may look the receiver up again). timeoutMs > 0 bounds the wait
// (SendMessageTimeout, and a window the system sees as hung fails at once).
Outcome Deliver(HWND receiver, ULONG_PTR marker, DWORD byteCount, void* buffer, bool tellLoss, int timeoutMs = 0) {
    COPYDATASTRUCT data = {};
    data.dwData = marker;
    data.cbData = byteCount;
    data.lpData = buffer;
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    if (timeoutMs > 0) {
        if (SendMessageTimeoutA(receiver, WM_COPYDATA, reinterpret_cast<WPARAM>(SenderWindow()),
                                reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                static_cast<UINT>(timeoutMs), &result) == 0) {
            if (GetLastError() == ERROR_INVALID_WINDOW_HANDLE) return Outcome::Stale;
            if (!IsWindow(receiver)) return Outcome::Lost;
            return Outcome::TimedOut;
        }
    } else {
        result = static_cast<DWORD_PTR>(SendMessageA(receiver, WM_COPYDATA, reinterpret_cast<WPARAM>(SenderWindow()),
                                                     reinterpret_cast<LPARAM>(&data)));
        if (result == 0 && GetLastError() == ERROR_INVALID_WINDOW_HANDLE) return Outcome::Stale;
    }
    // A window that went away during the call is all that can be told apart from a receiver
    // that answers otherwise.
    if (result == 0 && tellLoss && !IsWindow(receiver)) return Outcome::Lost;
    return Outcome::Delivered;
}

// See kNoReceiverMemoryMs (under Wine the lookup is most of a call's cost without a viewer).
std::atomic<ULONGLONG> g_noViewerUntil{0};
// The viewer's window as last found. Kept between calls: under Wine a lookup by caption costs
// one round trip to the window server and more a top-level window, as much again as the send.
// A viewer closed since makes the next send fail at once as a stale handle, and the call looks
// it up again; a new viewer is a new window, with a new handle.
std::atomic<HWND> g_viewerWindow{nullptr};

bool IsViewerCaption(std::string_view caption) {
    return caption.size() == kReceiverCaption.size() &&
           std::equal(caption.begin(), caption.end(), kReceiverCaption.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? char(a - 'A' + 'a') : a) == (b >= 'A' && b <= 'Z' ? char(b - 'A' + 'a') : b);
           });
}

// The receiving window; `fresh` skips the kept one.
HWND FindReceiver(std::string_view caption, bool fresh = false) {
    const bool viewer = IsViewerCaption(caption);
    if (viewer && !fresh) {
        if (HWND kept = g_viewerWindow.load(std::memory_order_relaxed)) return kept;
        if (GetTickCount64() < g_noViewerUntil.load(std::memory_order_relaxed)) return nullptr;
    }
    const std::string text(caption);
    HWND found = FindWindowA(nullptr, text.c_str());
    if (viewer) {
        g_viewerWindow.store(found, std::memory_order_relaxed);
        if (found == nullptr) g_noViewerUntil.store(GetTickCount64() + kNoReceiverMemoryMs, std::memory_order_relaxed);
    }
    return found;
}

SendResult ResultOf(Outcome outcome) {
    switch (outcome) {
        case Outcome::Delivered: return SendResult::Delivered;
        case Outcome::TimedOut: return SendResult::TimedOut;
        case Outcome::Lost:
        case Outcome::Stale: break;
    }
    return SendResult::ReceiverLost;
}

SendResult SendOne(std::string_view caption, std::string_view envelope, bool tellLoss, int timeoutMs = 0) {
    HWND receiver = FindReceiver(caption);
    if (receiver == nullptr) return SendResult::NoReceiver;
    // A fresh zero-filled buffer per send; the zero after the envelope is the buffer's own.
    char buffer[kBufferSize] = {};
    const std::size_t length = std::min<std::size_t>(envelope.size(), kMaxEnvelopeLength);
    std::memcpy(buffer, envelope.data(), length);
    const DWORD bytes = static_cast<DWORD>(length + 1);
    Outcome outcome = Deliver(receiver, kEnvelopeMarker, bytes, buffer, tellLoss, timeoutMs);
    if (outcome == Outcome::Stale) {
        // The window found earlier is gone: the envelope was not taken, so it goes to the
        // viewer there is now, if any.
        receiver = FindReceiver(caption, true);
        if (receiver == nullptr) return SendResult::NoReceiver;
        outcome = Deliver(receiver, kEnvelopeMarker, bytes, buffer, tellLoss, timeoutMs);
    }
    return ResultOf(outcome);
}

}  // namespace

void SendEnvelope(std::string_view envelope) { SendOne(kReceiverCaption, envelope, false); }

SendResult SendEnvelopeTo(std::string_view caption, std::string_view envelope) {
    return SendOne(caption, envelope, true);
}

SendResult SendEnvelopeWithin(std::string_view caption, std::string_view envelope, int timeoutMs) {
    return SendOne(caption, envelope, true, timeoutMs);
}

SendResult SendRawFrameTo(std::string_view caption, std::uint32_t marker, std::uint32_t byteCount,
                          std::string_view payload) {
    HWND receiver = FindReceiver(caption);
    if (receiver == nullptr) return SendResult::NoReceiver;
    // The buffer holds all bytes announced, so the receiver may read byteCount bytes safely.
    std::vector<char> buffer(
        std::max<std::size_t>({static_cast<std::size_t>(kBufferSize), byteCount, payload.size()}), '\0');
    std::memcpy(buffer.data(), payload.data(), payload.size());
    Outcome outcome = Deliver(receiver, marker, byteCount, buffer.data(), true);
    if (outcome == Outcome::Stale) {
        receiver = FindReceiver(caption, true);
        if (receiver == nullptr) return SendResult::NoReceiver;
        outcome = Deliver(receiver, marker, byteCount, buffer.data(), true);
    }
    return ResultOf(outcome);
}

void DisconnectThread() {
    const DWORD slot = SenderSlot();
    if (slot == TLS_OUT_OF_INDEXES) return;
    HWND window = static_cast<HWND>(TlsGetValue(slot));
    if (window != nullptr && IsWindow(window)) DestroyWindow(window);
    TlsSetValue(slot, nullptr);
}

}  // namespace tw::messaging
