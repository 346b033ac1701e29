#include "tw/messaging/codepage.hpp"

#include <array>
#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tw::messaging {
namespace {

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined map to the
// C1 control of the same value, as the system conversion does, so every byte round-trips.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char CodePointToByte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == cp) return static_cast<char>(0x80 + i);
    }
    return '?';
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

#ifdef _WIN32
// On Windows the envelope's code page is the system's ANSI code page. Returns it when it is a
// single-byte code page other than Windows-1252 (whose table above is exact); 0 otherwise, and
// then the table is used (a multi-byte system code page cannot carry the one-byte-per-character
// envelope, so it falls back to Windows-1252 as well).
UINT OtherSingleByteCodePage() {
    static const UINT codePage = [] {
        const UINT acp = GetACP();
        CPINFO info = {};
        if (acp == 1252 || !GetCPInfo(acp, &info) || info.MaxCharSize != 1) return 0u;
        return acp;
    }();
    return codePage;
}

std::string Convert(UINT from, UINT to, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int n = static_cast<int>(bytes.size());
    const int wideSize = MultiByteToWideChar(from, 0, bytes.data(), n, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(from, 0, bytes.data(), n, wide.data(), wideSize);
    const DWORD flags = to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = to == CP_UTF8 ? nullptr : "?";
    const int size = WideCharToMultiByte(to, flags, wide.data(), wideSize, nullptr, 0, fallback, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(to, flags, wide.data(), wideSize, out.data(), size, fallback, nullptr);
    return out;
}
#endif

}  // namespace

std::string Utf8ToCodePage(std::string_view utf8) {
#ifdef _WIN32
    if (const UINT codePage = OtherSingleByteCodePage()) return Convert(CP_UTF8, codePage, utf8);
#endif
    std::string out;
    out.reserve(utf8.size());
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // Decode one strict UTF-8 sequence; anything invalid costs one '?' per lead byte.
        int len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if (b >= 0xC2 && b <= 0xDF) { len = 2; cp = b & 0x1F; min = 0x80; }
        else if (b >= 0xE0 && b <= 0xEF) { len = 3; cp = b & 0x0F; min = 0x800; }
        else if (b >= 0xF0 && b <= 0xF4) { len = 4; cp = b & 0x07; min = 0x10000; }
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= n;
        for (int k = 1; ok && k < len; ++k) {
            const unsigned char c = p[i + static_cast<std::size_t>(k)];
            if ((c & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        out += CodePointToByte(cp);
        i += static_cast<std::size_t>(len);
    }
    return out;
}

std::string CodePageToUtf8(std::string_view bytes) {
#ifdef _WIN32
    if (const UINT codePage = OtherSingleByteCodePage()) return Convert(codePage, CP_UTF8, bytes);
#endif
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < 0x80) out += ch;
        else if (b < 0xA0) AppendUtf8(out, kHigh[b - 0x80]);
        else AppendUtf8(out, b);
    }
    return out;
}

const std::array<char16_t, 256>& CodePageCharacters() {
    static const std::array<char16_t, 256> table = [] {
        std::array<char16_t, 256> t{};
        for (unsigned b = 0; b < 256; ++b) t[b] = b >= 0x80 && b < 0xA0 ? kHigh[b - 0x80] : char16_t(b);
#ifdef _WIN32
        if (const UINT codePage = OtherSingleByteCodePage()) {
            for (unsigned b = 0x80; b < 256; ++b) {
                const char in = static_cast<char>(b);
                wchar_t w = L'?';
                if (MultiByteToWideChar(codePage, 0, &in, 1, &w, 1) == 1) t[b] = static_cast<char16_t>(w);
            }
        }
#endif
        return t;
    }();
    return table;
}

bool AppendUtf16AsCodePage(std::string& out, std::u16string_view text) {
    const auto& table = CodePageCharacters();
    bool all = true;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        int byte = -1;
        for (unsigned b = 0x80; b < 256; ++b) {
            if (table[b] == c) {
                byte = static_cast<int>(b);
                break;
            }
        }
        if (byte >= 0) {
            out += static_cast<char>(byte);
            continue;
        }
        all = false;
        out += '?';
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    }
    return all;
}

}  // namespace tw::messaging
