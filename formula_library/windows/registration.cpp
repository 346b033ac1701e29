#include "registration.hpp"

// After <windows.h> (from registration.hpp).
// clang-format off
#include <oleauto.h>
#include <olectl.h>
// clang-format on

#include "tracetap_ids.hpp"

#include <string>
#include <vector>

// Everything here uses the wide-character path and registry calls: the library may live in a
// folder whose name the ANSI code page cannot hold.
//
// On 64-bit Windows the 32-bit and the 64-bit library can be registered side by side. The class
// keys (HKCR\CLSID) are per bitness (the system keeps a 32-bit view of them); the programmatic
// identifiers and HKCR\TypeLib are shared, and the interface keys the type library registers are
// written to both views. So each bitness removes its own class keys and its own
// TypeLib\{...}\3.0\409\win32 or \win64 entry, and the shared keys only when the other bitness
// is not registered.

namespace tw::tracetap {
namespace {

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    if (StringFromGUID2(guid, text, 40) == 0) return {};
    return text;
}

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + lstrlenA(ascii)); }

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

constexpr bool kIs64Bit = sizeof(void*) == 8;
const wchar_t* const kOwnPlatform = kIs64Bit ? L"win64" : L"win32";

// The registry view of the other bitness (KEY_WOW64_32KEY or KEY_WOW64_64KEY), or 0 when this
// system has none (32-bit Windows).
REGSAM OtherView() {
    if (kIs64Bit) return KEY_WOW64_32KEY;
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

bool KeyExists(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The default value of HKCR\<path> as text, or "" when absent.
std::wstring ReadDefault(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
        return {};
    wchar_t buffer[300] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(buffer) : std::wstring();
}

// Removes HKCR\<path> with everything below it; absent already counts as done.
LSTATUS DeleteTree(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS | view, &key);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    status = RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS) status = RegDeleteKeyExW(HKEY_CLASSES_ROOT, path.c_str(), view, 0);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Removes HKCR\<path> when it has no subkeys and no values left.
void DeleteIfEmpty(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0, values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (status == ERROR_SUCCESS && subkeys == 0 && values == 0) RegDeleteKeyExW(HKEY_CLASSES_ROOT, path.c_str(), view, 0);
}

// A copy of one registry key with everything below it, taken before registration writes, so
// that a registration that cannot complete puts back exactly what was there.
struct KeyCopy {
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::wstring name;
    std::vector<Value> values;
    std::vector<KeyCopy> children;
};

LSTATUS CopyKey(HKEY key, KeyCopy& copy) {
    DWORD subkeys = 0, maxSubkey = 0, values = 0, maxName = 0, maxData = 0;
    LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &maxSubkey, nullptr, &values,
                                      &maxName, &maxData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    for (DWORD i = 0; i < values; ++i) {
        std::wstring name(maxName + 1, L'\0');
        DWORD nameLength = maxName + 1;
        KeyCopy::Value value;
        value.data.resize(maxData + 2);
        DWORD dataSize = static_cast<DWORD>(value.data.size());
        status = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type, value.data.data(), &dataSize);
        if (status != ERROR_SUCCESS) return status;
        value.name.assign(name.data(), nameLength);
        value.data.resize(dataSize);
        copy.values.push_back(std::move(value));
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        std::wstring name(maxSubkey + 1, L'\0');
        DWORD nameLength = maxSubkey + 1;
        status = RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return status;
        KeyCopy child;
        child.name.assign(name.data(), nameLength);
        HKEY sub = nullptr;
        status = RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ, &sub);
        if (status != ERROR_SUCCESS) return status;
        status = CopyKey(sub, child);
        RegCloseKey(sub);
        if (status != ERROR_SUCCESS) return status;
        copy.children.push_back(std::move(child));
    }
    return ERROR_SUCCESS;
}

LSTATUS WriteKey(HKEY parent, const KeyCopy& copy, REGSAM view) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(parent, copy.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS | view, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    for (const KeyCopy::Value& value : copy.values) {
        const LSTATUS s = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                                         value.data.data(), static_cast<DWORD>(value.data.size()));
        if (status == ERROR_SUCCESS) status = s;
    }
    for (const KeyCopy& child : copy.children) {
        const LSTATUS s = WriteKey(key, child, view);
        if (status == ERROR_SUCCESS) status = s;
    }
    RegCloseKey(key);
    return status;
}

// The keys a registration may change, as they were before it.
class Undo {
  public:
    // Remembers HKCR\<path> (in `view`) and everything below it, or that it did not exist.
    LSTATUS Keep(const std::wstring& path, REGSAM view = 0) {
        Saved saved{path, view, false, {}};
        HKEY key = nullptr;
        const LSTATUS status = RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key);
        if (status == ERROR_FILE_NOT_FOUND) {
            m_saved.push_back(std::move(saved));
            return ERROR_SUCCESS;
        }
        if (status != ERROR_SUCCESS) return status;
        saved.existed = true;
        saved.copy.name = path;
        const LSTATUS copied = CopyKey(key, saved.copy);
        RegCloseKey(key);
        if (copied == ERROR_SUCCESS) m_saved.push_back(std::move(saved));
        return copied;
    }

    // Puts every remembered key back as it was.
    void Restore() const {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            DeleteTree(it->path, it->view);
            if (it->existed) WriteKey(HKEY_CLASSES_ROOT, it->copy, it->view);
        }
    }

  private:
    struct Saved {
        std::wstring path;
        REGSAM view;
        bool existed;
        KeyCopy copy;
    };
    std::vector<Saved> m_saved;
};

// Creates HKCR\<path> and sets its value `name` (nullptr: the default value) to `value`.
LSTATUS SetValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status;
}

// The module's full path; "" when it cannot be had.
std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring ProgId(const char* prefix, const ClassEntry& entry) { return Widen(prefix) + Widen(entry.className); }

LSTATUS WriteClassKeys(const ClassEntry& entry, const std::wstring& path) {
    const std::wstring clsid = GuidText(*entry.clsid);
    const std::wstring ownProgId = ProgId(kProgIdPrefixes[0], entry);
    const std::wstring base = L"CLSID\\" + clsid;
    LSTATUS status = SetValue(base, nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\InprocServer32", nullptr, path);
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\ProgID", nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\VersionIndependentProgID", nullptr, ownProgId);
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\TypeLib", nullptr, GuidText(kLibId));
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\VERSION", nullptr, L"3.0");
    if (status == ERROR_SUCCESS) status = SetValue(base + L"\\Programmable", nullptr, L"");
    for (const char* prefix : kProgIdPrefixes) {
        const std::wstring progId = ProgId(prefix, entry);
        if (status == ERROR_SUCCESS) status = SetValue(progId, nullptr, progId);
        if (status == ERROR_SUCCESS) status = SetValue(progId + L"\\CLSID", nullptr, clsid);
    }
    return status;
}

// Remembers every key RegisterServer may write or change.
LSTATUS KeepTouchedKeys(Undo& undo) {
    const REGSAM other = OtherView();
    LSTATUS status = undo.Keep(L"TypeLib\\" + GuidText(kLibId));
    for (const ClassEntry& entry : kClasses) {
        if (status == ERROR_SUCCESS) status = undo.Keep(L"CLSID\\" + GuidText(*entry.clsid));
        for (const char* prefix : kProgIdPrefixes) {
            if (status == ERROR_SUCCESS) status = undo.Keep(ProgId(prefix, entry));
        }
        const std::wstring iface = L"Interface\\" + GuidText(*entry.iid);
        if (status == ERROR_SUCCESS) status = undo.Keep(iface);
        if (status == ERROR_SUCCESS && other != 0) status = undo.Keep(iface, other);
    }
    return status;
}

// True when the library of the other bitness is registered (its class keys are there).
bool OtherBitnessRegistered() {
    const REGSAM other = OtherView();
    if (other == 0) return false;
    for (const ClassEntry& entry : kClasses) {
        if (KeyExists(L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32", other)) return true;
    }
    return false;
}

}  // namespace

HRESULT RegisterServer(HMODULE module) {
    // Everything that can fail without writing comes first.
    const std::wstring path = ModulePath(module);
    if (path.empty()) return SELFREG_E_CLASS;
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return SELFREG_E_TYPELIB;

    // A registration that cannot complete leaves the registry as it found it: a working
    // installation elsewhere keeps working.
    Undo undo;
    const LSTATUS kept = KeepTouchedKeys(undo);
    if (kept != ERROR_SUCCESS) {
        lib->Release();
        return FromStatus(kept);
    }
    LSTATUS status = ERROR_SUCCESS;
    for (const ClassEntry& entry : kClasses) {
        if (status == ERROR_SUCCESS) status = WriteClassKeys(entry, path);
    }
    hr = FromStatus(status);
    if (SUCCEEDED(hr)) {
        std::wstring libPath = path;
        hr = RegisterTypeLib(lib, libPath.data(), nullptr);
    }
    lib->Release();
    if (FAILED(hr)) undo.Restore();
    return hr;
}

HRESULT UnregisterServer(HMODULE) {
    LSTATUS status = ERROR_SUCCESS;
    // This bitness's own keys.
    for (const ClassEntry& entry : kClasses) {
        const LSTATUS s = DeleteTree(L"CLSID\\" + GuidText(*entry.clsid));
        if (status == ERROR_SUCCESS) status = s;
    }
    const std::wstring lib = GuidText(kLibId);
    const std::wstring version = L"TypeLib\\" + lib + L"\\3.0";
    {
        const LSTATUS s = DeleteTree(version + L"\\409\\" + kOwnPlatform);
        if (status == ERROR_SUCCESS) status = s;
    }
    DeleteIfEmpty(version + L"\\409");
    if (OtherBitnessRegistered()) return FromStatus(status);

    // The shared keys, now that nothing else uses them. A programmatic identifier or an
    // interface key that by now belongs to another server is left alone.
    for (const ClassEntry& entry : kClasses) {
        const std::wstring clsid = GuidText(*entry.clsid);
        for (const char* prefix : kProgIdPrefixes) {
            const std::wstring progId = ProgId(prefix, entry);
            const std::wstring owner = ReadDefault(progId + L"\\CLSID");
            if (owner.empty() || CompareStringOrdinal(owner.c_str(), -1, clsid.c_str(), -1, TRUE) == CSTR_EQUAL) {
                const LSTATUS s = DeleteTree(progId);
                if (status == ERROR_SUCCESS) status = s;
            }
        }
        const std::wstring iface = L"Interface\\" + GuidText(*entry.iid);
        for (const REGSAM view : {REGSAM{0}, OtherView()}) {
            const std::wstring owner = ReadDefault(iface + L"\\TypeLib", view);
            if (owner.empty() || CompareStringOrdinal(owner.c_str(), -1, lib.c_str(), -1, TRUE) == CSTR_EQUAL) {
                const LSTATUS s = DeleteTree(iface, view);
                if (status == ERROR_SUCCESS) status = s;
            }
        }
    }
    const LSTATUS s = DeleteTree(version);
    if (status == ERROR_SUCCESS) status = s;
    // The library's key goes too once no other version is registered under it.
    DeleteIfEmpty(L"TypeLib\\" + lib);
    return FromStatus(status);
}

}  // namespace tw::tracetap
