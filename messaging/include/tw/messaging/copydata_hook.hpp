// The receiving side of the envelope transport on Windows: the viewer's main window sees
// WM_COPYDATA, copies the envelope out before its window procedure returns and hands it on.
// Plain Win32, no Qt: a Qt program calls HandleCopyData from its native event filter, other
// programs let CopyDataHook subclass their window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <windows.h>

namespace tw::messaging {

// Copies the envelope out of the COPYDATASTRUCT that a WM_COPYDATA's lParam points at:
// nullopt unless the marker is 3; otherwise at most 1024 bytes are read from lpData
// (never more than cbData), and the envelope is the bytes before the first zero byte, still
// in the ANSI code page (CodePageToUtf8 converts them). A null lpData reads as no bytes.
std::optional<std::string> CopyEnvelope(LPARAM copyData);

// Reacts to one window message: for WM_COPYDATA carrying an envelope, calls `handler` with it
// (before returning, so the sender is released only afterwards). Returns true when the
// message was such an envelope. Any other message is left alone. An exception thrown by the
// handler is caught here: it must not cross the window procedure.
bool HandleCopyData(UINT message, LPARAM lParam, const std::function<void(std::string_view)>& handler);

// Subclasses one window (SetWindowLongPtrA with GWLP_WNDPROC): every envelope goes to the
// handler, and every message, WM_COPYDATA included, is then passed on unchanged to the
// previous window procedure, whose result is returned.
class CopyDataHook {
  public:
    using Handler = std::function<void(std::string_view envelope)>;

    explicit CopyDataHook(Handler handler);
    // Restores the previous window procedure if the window still exists.
    ~CopyDataHook();
    CopyDataHook(const CopyDataHook&) = delete;
    CopyDataHook& operator=(const CopyDataHook&) = delete;

    // Installs the hook on `window` (once; a second call fails). False when the window is not
    // valid or the procedure cannot be replaced.
    bool HookWindow(HWND window);
    void Unhook();
    HWND Window() const { return m_window; }

    // Counters for tests: envelopes handed on, WM_COPYDATA messages ignored for their marker.
    std::uint64_t Envelopes() const { return m_envelopes; }
    std::uint64_t IgnoredMarkers() const { return m_ignoredMarkers; }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Handler m_handler;
    HWND m_window = nullptr;
    WNDPROC m_previous = nullptr;
    std::uint64_t m_envelopes = 0;
    std::uint64_t m_ignoredMarkers = 0;
};

}  // namespace tw::messaging
