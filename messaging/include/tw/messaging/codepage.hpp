// Conversion between UTF-8 and the single-byte code page that envelopes and log files use.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace tw::messaging {

// UTF-8 text to code-page bytes (Windows-1252 here). A character the code page cannot hold,
// and every byte of an invalid UTF-8 sequence, becomes '?'. One character gives one byte.
std::string Utf8ToCodePage(std::string_view utf8);

// Code-page bytes to UTF-8. Every byte maps to one character, so any byte string survives
// CodePageToUtf8 followed by Utf8ToCodePage unchanged (the five bytes Windows-1252 leaves
// undefined, 0x81 0x8D 0x8F 0x90 0x9D, map to U+0081 ... as the system conversion does).
std::string CodePageToUtf8(std::string_view bytes);

// The character of every code-page byte, for converting many short texts without allocating
// (the same mapping as CodePageToUtf8; bytes below 0x80 are ASCII).
const std::array<char16_t, 256>& CodePageCharacters();

// UTF-16 text to code-page bytes appended to out: a character the code page cannot hold
// becomes '?' (a surrogate pair one '?'). Returns whether every character was held.
bool AppendUtf16AsCodePage(std::string& out, std::u16string_view text);

}  // namespace tw::messaging
