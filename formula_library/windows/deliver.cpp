#include "deliver.hpp"

#include "tw/messaging/codepage.hpp"

namespace tw::tracetap {
namespace {

std::string WideToUtf8(const wchar_t* text, int length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return {};
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace

// Through the messaging library's conversion, the one every sender and the viewer share: the
// system's single-byte ANSI code page (Windows-1252 when the system's is multi-byte), and a
// character it lacks becomes '?', never a "best fit" look-alike ("≤" is not "=", "∞" is not
// "8"), so a trace never shows another value than the formula had.
std::string ToAnsi(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0) return {};
    return messaging::Utf8ToCodePage(WideToUtf8(text, static_cast<int>(length)));
}

BSTR ToBstr(const std::string& text) {
    if (text.empty()) return SysAllocString(L"");
    const std::string utf8 = messaging::CodePageToUtf8(text);
    const int n = static_cast<int>(utf8.size());
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(size));
    if (wide != nullptr) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), n, wide, size);
    return wide;
}

}  // namespace tw::tracetap
