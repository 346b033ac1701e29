#include "deliver.hpp"

namespace tw::tracetap {

std::string ToAnsi(BSTR text) {
    const UINT length = SysStringLen(text);
    if (length == 0) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, "?", nullptr);
    if (size <= 0) return std::string(length, '?');
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), bytes.data(), size, "?", nullptr);
    return bytes;
}

BSTR ToBstr(const std::string& text) {
    if (text.empty()) return SysAllocString(L"");
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    BSTR wide = SysAllocStringLen(nullptr, static_cast<UINT>(size));
    if (wide != nullptr)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, size);
    return wide;
}

}  // namespace tw::tracetap
