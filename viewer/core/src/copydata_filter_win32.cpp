#include "tw/core/copydata_filter_win32.hpp"

// <windows.h> must come first.
// clang-format off
#include <windows.h>
// clang-format on

#include "tw/messaging/copydata_hook.hpp"

namespace tw::viewer {

CopyDataFilter::CopyDataFilter(QString caption, std::function<void(std::string_view)> onEnvelope)
    : m_caption(std::move(caption)), m_onEnvelope(std::move(onEnvelope)) {}

bool CopyDataFilter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    if (eventType != "windows_generic_MSG" || message == nullptr) return false;
    const MSG* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_COPYDATA) return false;
    // Only the window found under the caption receives envelopes; its caption is read once.
    if (msg->hwnd != m_window) {
        wchar_t text[64] = {};
        GetWindowTextW(msg->hwnd, text, 64);
        if (QString::fromWCharArray(text).compare(m_caption, Qt::CaseInsensitive) != 0) return false;
        m_window = msg->hwnd;
    }
    if (!messaging::HandleCopyData(msg->message, msg->lParam, m_onEnvelope)) return false;
    if (result) *result = TRUE;
    return true;
}

}  // namespace tw::viewer
