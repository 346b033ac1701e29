// Self-registration of the server: classes, programmatic identifiers, the type library.
#pragma once

#include <windows.h>

namespace tw::tracetap {

// This module's handle (set when the library is loaded).
HMODULE ServerModule();

// Writes, for every class, HKCR\CLSID\{clsid} with InprocServer32 (this module's path,
// ThreadingModel Apartment), ProgID, TypeLib and VERSION; HKCR\Tracetap.<Class>\CLSID and
// HKCR\CRUFLDebug.<Class>\CLSID; and registers the embedded type library.
HRESULT RegisterServer(HMODULE module);

// Removes what RegisterServer wrote. A programmatic identifier that now names another
// server's class is left alone. Succeeds also when nothing was registered.
HRESULT UnregisterServer(HMODULE module);

}  // namespace tw::tracetap
