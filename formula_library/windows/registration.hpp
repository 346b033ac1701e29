// Self-registration of the server: classes, programmatic identifiers, the type library.
#pragma once

#include <windows.h>

namespace tw::tracetap {

// This module's handle (set when the library is loaded).
HMODULE ServerModule();

// Writes, for every class, HKCR\CLSID\{clsid} with InprocServer32 (this module's path,
// ThreadingModel Apartment), ProgID, TypeLib and VERSION; HKCR\Tracetap.<Class>\CLSID and
// HKCR\CRUFLDebug.<Class>\CLSID; and registers the embedded type library. Paths and keys are
// written as wide characters, so any folder name works. When it cannot complete, every key it
// touched is put back as it was (a working installation elsewhere stays intact).
HRESULT RegisterServer(HMODULE module);

// Removes what RegisterServer wrote for this bitness: its class keys and its type-library path
// (TypeLib\{...}\3.0\409\win32 or \win64). The shared keys (programmatic identifiers, the
// type library's version key, the interface keys) go too unless the library of the other
// bitness is still registered. A programmatic identifier or interface key that now names
// another server is left alone. Succeeds also when nothing was registered.
HRESULT UnregisterServer(HMODULE module);

}  // namespace tw::tracetap
