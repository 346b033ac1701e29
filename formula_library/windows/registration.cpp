#include "registration.hpp"

// After <windows.h> (from registration.hpp).
// clang-format off
#include <oleauto.h>
#include <olectl.h>
// clang-format on

#include <string>

#include "tracetap_ids.hpp"

namespace tw::tracetap {
namespace {

std::string GuidText(const GUID& guid) {
    wchar_t wide[40];
    if (StringFromGUID2(guid, wide, 40) == 0) return {};
    std::string text;
    for (const wchar_t* p = wide; *p != 0; ++p) text.push_back(static_cast<char>(*p));
    return text;
}

// Creates HKCR\<path> and sets its value `name` (nullptr: the default value) to `value`.
LSTATUS SetValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return status;
}

// The default value of HKCR\<path>, or "" when absent.
std::string ReadDefault(const std::string& path) {
    char buffer[256] = {};
    LONG size = sizeof(buffer);
    if (RegQueryValueA(HKEY_CLASSES_ROOT, path.c_str(), buffer, &size) != ERROR_SUCCESS) return {};
    return buffer;
}

LSTATUS DeleteTree(const std::string& path) {
    const LSTATUS status = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

std::string ModulePath(HMODULE module) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::string(path, n);
}

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT RegisterClassKeys(const ClassEntry& entry, const std::string& path) {
    const std::string clsid = GuidText(*entry.clsid);
    const std::string ownProgId = std::string(kProgIdPrefixes[0]) + entry.className;
    const std::string base = "CLSID\\" + clsid;
    LSTATUS status = SetValue(base, nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\InprocServer32", nullptr, path);
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\InprocServer32", "ThreadingModel", "Apartment");
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\ProgID", nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\VersionIndependentProgID", nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\TypeLib", nullptr, GuidText(kLibId));
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\VERSION", nullptr, "3.0");
    if (status == ERROR_SUCCESS) status = SetValue(base + "\\Programmable", nullptr, "");
    for (const char* prefix : kProgIdPrefixes) {
        const std::string progId = std::string(prefix) + entry.className;
        if (status == ERROR_SUCCESS) status = SetValue(progId, nullptr, progId);
        if (status == ERROR_SUCCESS) status = SetValue(progId + "\\CLSID", nullptr, clsid);
    }
    return FromStatus(status);
}

SYSKIND OwnSysKind() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

}  // namespace

HRESULT RegisterServer(HMODULE module) {
    const std::string path = ModulePath(module);
    if (path.empty()) return SELFREG_E_CLASS;
    for (const ClassEntry& entry : kClasses) {
        const HRESULT hr = RegisterClassKeys(entry, path);
        if (FAILED(hr)) return hr;
    }
    std::wstring widePath(path.size() + 1, L'\0');
    const int n =
        MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widePath.data(), static_cast<int>(widePath.size()));
    if (n == 0) return SELFREG_E_TYPELIB;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(widePath.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    hr = RegisterTypeLib(lib, widePath.data(), nullptr);
    lib->Release();
    return hr;
}

HRESULT UnregisterServer(HMODULE) {
    LSTATUS status = ERROR_SUCCESS;
    for (const ClassEntry& entry : kClasses) {
        const std::string clsid = GuidText(*entry.clsid);
        for (const char* prefix : kProgIdPrefixes) {
            const std::string progId = std::string(prefix) + entry.className;
            const std::string owner = ReadDefault(progId + "\\CLSID");
            if (owner.empty() || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, owner.c_str(), -1,
                                                clsid.c_str(), -1) == CSTR_EQUAL) {
                const LSTATUS s = DeleteTree(progId);
                if (status == ERROR_SUCCESS) status = s;
            }
        }
        const LSTATUS s = DeleteTree("CLSID\\" + clsid);
        if (status == ERROR_SUCCESS) status = s;
    }
    // The type library's own unregistration first; what it leaves (it fails when the library
    // was never registered) is removed below, so the outcome is the same either way.
    UnRegisterTypeLib(kLibId, kLibMajor, kLibMinor, kLibLcid, OwnSysKind());
    const std::string lib = GuidText(kLibId);
    for (const ClassEntry& entry : kClasses) {
        const std::string iface = "Interface\\" + GuidText(*entry.iid);
        const std::string owner = ReadDefault(iface + "\\TypeLib");
        if (owner.empty() || owner == lib) {
            const LSTATUS s = DeleteTree(iface);
            if (status == ERROR_SUCCESS) status = s;
        }
    }
    const LSTATUS s = DeleteTree("TypeLib\\" + lib + "\\3.0");
    if (status == ERROR_SUCCESS) status = s;
    // The library's key goes too once no other version is registered under it.
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ("TypeLib\\" + lib).c_str());
    return FromStatus(status);
}

}  // namespace tw::tracetap
