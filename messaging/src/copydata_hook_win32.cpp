#include "tw/messaging/copydata_hook.hpp"

#include "tw/messaging/envelope.hpp"

#include <cstring>

namespace tw::messaging {
namespace {

// Window property that leads the shared window procedure to its hook object.
constexpr char kHookProperty[] = "TracewellCopyDataHook";

}  // namespace

std::optional<std::string> CopyEnvelope(LPARAM copyData) {
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(copyData);
    if (data == nullptr || data->dwData != static_cast<ULONG_PTR>(kEnvelopeMarker)) return std::nullopt;
    // Copy first, into our own zero-filled buffer of the transport's size: the sender's
    // memory is read once, never beyond cbData and never beyond 1024 bytes.
    char buffer[kBufferSize] = {};
    const std::size_t count = data->lpData == nullptr ? 0 : std::min<std::size_t>(data->cbData, kBufferSize);
    if (count > 0) std::memcpy(buffer, data->lpData, count);
    const std::size_t length = strnlen(buffer, kBufferSize);
    return std::string(buffer, length);
}

bool HandleCopyData(UINT message, LPARAM lParam, const std::function<void(std::string_view)>& handler) {
    if (message != WM_COPYDATA) return false;
    const std::optional<std::string> envelope = CopyEnvelope(lParam);
    if (!envelope) return false;
    // Nothing may unwind through the window procedure into the system: a handler that throws
    // loses only its own envelope.
    if (handler) {
        try {
            handler(*envelope);
        } catch (...) {
        }
    }
    return true;
}

CopyDataHook::CopyDataHook(Handler handler) : m_handler(std::move(handler)) {}

CopyDataHook::~CopyDataHook() { Unhook(); }

bool CopyDataHook::HookWindow(HWND window) {
    if (m_window != nullptr || window == nullptr || !IsWindow(window)) return false;
    if (!SetPropA(window, kHookProperty, this)) return false;
    SetLastError(0);
    const LONG_PTR previous =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CopyDataHook::WindowProc));
    if (previous == 0 && GetLastError() != 0) {
        RemovePropA(window, kHookProperty);
        return false;
    }
    m_window = window;
    m_previous = reinterpret_cast<WNDPROC>(previous);
    return true;
}

void CopyDataHook::Unhook() {
    if (m_window == nullptr) return;
    if (IsWindow(m_window)) {
        // Only undo our own subclassing; if someone hooked the window after us, leaving our
        // procedure in their chain with the property removed makes it a plain pass-through.
        if (GetWindowLongPtrA(m_window, GWLP_WNDPROC) ==
            reinterpret_cast<LONG_PTR>(&CopyDataHook::WindowProc)) {
            SetWindowLongPtrA(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previous));
            RemovePropA(m_window, kHookProperty);
        }
    }
    m_window = nullptr;
}

LRESULT CALLBACK CopyDataHook::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* hook = static_cast<CopyDataHook*>(GetPropA(window, kHookProperty));
    if (hook == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC previous = hook->m_previous;
    if (message == WM_COPYDATA) {
        if (HandleCopyData(message, lParam, hook->m_handler)) {
            ++hook->m_envelopes;
            // Taken: answered TRUE, so the sender needs no second look at the window.
            CallWindowProcA(previous, window, message, wParam, lParam);
            return TRUE;
        } else {
            ++hook->m_ignoredMarkers;
        }
    } else if (message == WM_NCDESTROY) {
        // The window goes away: drop the property and forget it, so nothing dangles.
        RemovePropA(window, kHookProperty);
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        hook->m_window = nullptr;
    }
    return CallWindowProcA(previous, window, message, wParam, lParam);
}

}  // namespace tw::messaging
