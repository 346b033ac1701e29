// The envelope's code page on Windows is the system's ANSI code page. Run with a Cyrillic
// system code page (Windows-1251, set through the locale Wine starts with): the messaging
// library's conversion, and the texts Tracetap.dll puts into its envelopes.
// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include "tw/messaging/codepage.hpp"

#include "check.hpp"
#include "probe_shared.hpp"
#include "tracetap_ids.hpp"
#include "tw/messaging/envelope.hpp"

using tw::messaging::CodePageToUtf8;
using tw::messaging::Utf8ToCodePage;

namespace {

// Send.Msg(text) of Tracetap.dll (loaded from this program's folder, not from the registry);
// returns what the receiving window got.
std::string SentByLibrary(tw::wintest::Probe& probe, const wchar_t* text) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path);
    dll.resize(dll.find_last_of(L"\\/") + 1);
    dll += L"Tracetap.dll";
    HMODULE module = LoadLibraryW(dll.c_str());
    CHECK(module != nullptr);
    if (module == nullptr) return "<no library>";
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IDispatch* send = nullptr;
    if (getClassObject != nullptr &&
        SUCCEEDED(getClassObject(tw::tracetap::kClsidSend, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&send));
        factory->Release();
    }
    std::string got = "<not sent>";
    if (send != nullptr) {
        VARIANT arg;
        VariantInit(&arg);
        arg.vt = VT_BSTR;
        arg.bstrVal = SysAllocString(text);
        DISPPARAMS params = {&arg, nullptr, 1, 0};
        VARIANT result;
        VariantInit(&result);
        const LONG before = probe.Count();
        CHECK_EQ(send->Invoke(0x60030000, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr), S_OK);
        if (probe.Count() == before + 1) got = std::string(probe.Envelope(probe.Last()));
        VariantClear(&arg);
        VariantClear(&result);
        send->Release();
    }
    return got;
}

}  // namespace

int main() {
    CHECK_EQ(GetACP(), 1251u);
    // "Жук" and the euro sign (0x88 in Windows-1251), one byte each.
    CHECK_BYTES(Utf8ToCodePage("\xD0\x96\xD1\x83\xD0\xBA \xE2\x82\xAC"), "\xC6\xF3\xEA \x88");
    CHECK_BYTES(CodePageToUtf8("\xC6\xF3\xEA \x88"), "\xD0\x96\xD1\x83\xD0\xBA \xE2\x82\xAC");
    // A character the code page lacks becomes '?', never a look-alike: not "e" for "é", "=" for
    // "≤", "8" for "∞", "a" for "α", "O" for "Ω", "-" for the minus sign.
    CHECK_BYTES(Utf8ToCodePage("caf\xC3\xA9"), "caf?");
    CHECK_BYTES(Utf8ToCodePage("x \xE2\x89\xA4 5 \xE2\x88\x9E \xCE\xB1\xCE\xA9 \xE2\x88\x92"), "x ? 5 ? ?? ?");
    CHECK_BYTES(Utf8ToCodePage("plain"), "plain");

    // The automation server converts a formula's text the same way.
    CoInitialize(nullptr);
    {
        tw::wintest::Probe probe;
        CHECK(probe.Ok());
        if (probe.Ok()) {
            CHECK_BYTES(SentByLibrary(probe, L"x \u2264 5 \u221E \u03B1\u03B2\u03A9 \u2212 \u0416\u0443\u043A \u20AC"),
                        tw::messaging::BuildEnvelope(0, "x ? 5 ? ??? ? \xC6\xF3\xEA \x88", 0, "", ""));
        }
    }
    CoUninitialize();
    return tw::wintest::Summary("codepage_test");
}
