// The glue between the automation methods and the portable formula functions: argument
// conversion to the ANSI code page, the text result as a BSTR, errors as HRESULTs.
#pragma once

// <windows.h> must come first.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <new>
#include <string>

namespace tw::tracetap {

// BSTR (UTF-16) to envelope bytes: the system's single-byte ANSI code page (Windows-1252 when
// the system's is multi-byte), as tw::messaging::Utf8ToCodePage; a character it lacks becomes '?'.
// A null BSTR is the empty text.
std::string ToAnsi(BSTR text);

// ANSI code-page bytes to a new BSTR (nullptr when out of memory).
BSTR ToBstr(const std::string& text);

// Runs one formula function (`call` returns its text result) and stores the result in
// *result. S_OK; E_POINTER for a null result pointer; E_OUTOFMEMORY or E_FAIL when the call
// failed, for the report engine to show. Nothing is thrown across the interface.
template <class Call>
HRESULT Run(BSTR* result, Call&& call) {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    try {
        *result = ToBstr(call());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace tw::tracetap
