// The envelope's code page on Windows is the system's ANSI code page. Run with a Cyrillic
// system code page (Windows-1251, set through the locale Wine starts with).
#include "tw/messaging/codepage.hpp"

#include <windows.h>

#include "check.hpp"

using tw::messaging::CodePageToUtf8;
using tw::messaging::Utf8ToCodePage;

int main() {
    CHECK_EQ(GetACP(), 1251u);
    // "Жук" and the euro sign (0x88 in Windows-1251), one byte each.
    CHECK_BYTES(Utf8ToCodePage("\xD0\x96\xD1\x83\xD0\xBA \xE2\x82\xAC"), "\xC6\xF3\xEA \x88");
    CHECK_BYTES(CodePageToUtf8("\xC6\xF3\xEA \x88"), "\xD0\x96\xD1\x83\xD0\xBA \xE2\x82\xAC");
    // A character the code page lacks becomes '?', never a look-alike.
    CHECK_BYTES(Utf8ToCodePage("caf\xC3\xA9"), "caf?");
    CHECK_BYTES(Utf8ToCodePage("plain"), "plain");
    return tw::wintest::Summary("codepage_test");
}
