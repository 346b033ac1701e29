// Registration of Tracetap.dll with regsvr32, checked in the registry, and unregistration:
// from the build folder, from a folder whose name the ANSI code page cannot hold, a registration
// that cannot complete (it must leave a working installation as it was), and, on 64-bit Windows,
// the 32-bit and the 64-bit library side by side. Also the version resource and the export
// table. Leaves the library registered for the client test.
//
//   tracetap_registry_test [--other-bin DIR]   the tests; DIR: the other bitness's build folder
//                                              (a Unix path under Wine is taken as on Z:)
//   tracetap_registry_test --can-create DLL    exit 0 when every class of both programmatic
//                                              identifiers can be created, served by DLL
#include "check.hpp"
#include "tracetap_ids.hpp"

#include <shellapi.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

using tw::tracetap::ClassEntry;
using tw::tracetap::kClasses;
using tw::tracetap::kLibId;
using tw::tracetap::kProgIdPrefixes;

constexpr bool kIs64Bit = sizeof(void*) == 8;
// Both registry views of a 64-bit system (on 32-bit Windows both flags name the one view).
constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kOwnView = kIs64Bit ? kView64 : kView32;
constexpr REGSAM kOtherView = kIs64Bit ? kView32 : kView64;

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + lstrlenA(ascii)); }

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

std::wstring ProgramDir() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir(self);
    dir.resize(dir.find_last_of(L"\\/") + 1);
    return dir;
}

std::wstring GuidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring ProgId(const char* prefix, const ClassEntry& entry) { return Widen(prefix) + Widen(entry.className); }

// Runs a program with its arguments and returns its exit code (-1 when it could not start).
int Run(const std::wstring& program, const std::wstring& arguments) {
    std::wstring command = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

// regsvr32 of this program's bitness, or of the other one (64-bit Windows only).
std::wstring RegSvr32(bool ownBitness = true) {
    wchar_t dir[MAX_PATH] = {};
    if (ownBitness || !kIs64Bit) {
        GetSystemDirectoryW(dir, MAX_PATH);
    } else {
        GetSystemWow64DirectoryW(dir, MAX_PATH);
    }
    return std::wstring(dir) + L"\\regsvr32.exe";
}

int RegSvr32(const std::wstring& options, const std::wstring& dll, bool ownBitness = true) {
    return Run(RegSvr32(ownBitness), options + L" \"" + dll + L"\"");
}

bool KeyExists(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A string value of HKCR\path (name nullptr: the default value); "<missing>" when absent.
std::wstring Value(const std::wstring& path, const wchar_t* name = nullptr, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return L"<missing>";
    wchar_t buffer[1024] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::wstring(buffer) : L"<missing>";
}

#define CHECK_TEXT(a, b) CHECK_BYTES(Narrow(a), Narrow(b))

bool SamePath(const std::wstring& a, const std::wstring& b) {
    wchar_t la[MAX_PATH] = {}, lb[MAX_PATH] = {};
    GetLongPathNameW(a.c_str(), la, MAX_PATH);
    GetLongPathNameW(b.c_str(), lb, MAX_PATH);
    return la[0] != 0 && CompareStringOrdinal(la, -1, lb, -1, TRUE) == CSTR_EQUAL;
}

std::wstring LibKey() { return L"TypeLib\\" + GuidText(kLibId) + L"\\3.0"; }
std::wstring LibPathKey(bool win64) { return LibKey() + (win64 ? L"\\409\\win64" : L"\\409\\win32"); }
std::wstring ServerKey(const ClassEntry& entry) { return L"CLSID\\" + GuidText(*entry.clsid) + L"\\InprocServer32"; }

// Every class of the view (kView32 or kView64) is served by `dll`.
void ExpectServedBy(const std::wstring& dll, REGSAM view) {
    for (const ClassEntry& entry : kClasses) CHECK(SamePath(Value(ServerKey(entry), nullptr, view), dll));
    CHECK(SamePath(Value(LibPathKey(view == kView64)), dll));
}

void ExpectRegistered(const std::wstring& dll) {
    const std::wstring lib = GuidText(kLibId);
    for (const ClassEntry& entry : kClasses) {
        const std::wstring clsid = GuidText(*entry.clsid);
        for (const char* prefix : kProgIdPrefixes) {
            const std::wstring progId = ProgId(prefix, entry);
            CHECK_TEXT(Value(progId + L"\\CLSID"), clsid);
            CLSID fromProgId = {};
            CHECK(SUCCEEDED(CLSIDFromProgID(progId.c_str(), &fromProgId)) && IsEqualCLSID(fromProgId, *entry.clsid));
        }
        const std::wstring key = L"CLSID\\" + clsid;
        CHECK(SamePath(Value(key + L"\\InprocServer32"), dll));
        CHECK_TEXT(Value(key + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
        CHECK_TEXT(Value(key + L"\\ProgID"), L"Tracetap." + Widen(entry.className));
        CHECK_TEXT(Value(key + L"\\TypeLib"), lib);
        // The dual interface is marshalled by the standard automation marshaller.
        const std::wstring iface = L"Interface\\" + GuidText(*entry.iid);
        CHECK_TEXT(Value(iface + L"\\TypeLib"), lib);
        CHECK_TEXT(Value(iface + L"\\ProxyStubClsid32"), L"{00020424-0000-0000-C000-000000000046}");
    }
    CHECK_TEXT(Value(LibKey()), L"Tracetap");
    CHECK(SamePath(Value(LibPathKey(kIs64Bit)), dll));
}

// The keys both bitnesses share: programmatic identifiers, the type library's version key,
// the interface keys (in both views).
void ExpectSharedKeys() {
    for (const ClassEntry& entry : kClasses) {
        for (const char* prefix : kProgIdPrefixes)
            CHECK_TEXT(Value(ProgId(prefix, entry) + L"\\CLSID"), GuidText(*entry.clsid));
        for (REGSAM view : {kView32, kView64})
            CHECK_TEXT(Value(L"Interface\\" + GuidText(*entry.iid) + L"\\TypeLib", nullptr, view), GuidText(kLibId));
    }
    CHECK_TEXT(Value(LibKey()), L"Tracetap");
}

void ExpectUnregistered() {
    for (const ClassEntry& entry : kClasses) {
        for (const char* prefix : kProgIdPrefixes) CHECK(!KeyExists(ProgId(prefix, entry)));
        for (REGSAM view : {kView32, kView64}) {
            CHECK(!KeyExists(L"CLSID\\" + GuidText(*entry.clsid), view));
            CHECK(!KeyExists(L"Interface\\" + GuidText(*entry.iid), view));
        }
    }
    CHECK(!KeyExists(LibKey()));
}

void DeleteTree(const std::wstring& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, path.c_str(), view, 0);
}

// A clean start: whatever an earlier run of either bitness left is removed.
void Reset() {
    for (REGSAM view : {kView32, kView64}) {
        for (const ClassEntry& entry : kClasses) {
            DeleteTree(L"CLSID\\" + GuidText(*entry.clsid), view);
            DeleteTree(L"Interface\\" + GuidText(*entry.iid), view);
            for (const char* prefix : kProgIdPrefixes) DeleteTree(ProgId(prefix, entry), view);
        }
        DeleteTree(L"TypeLib\\" + GuidText(kLibId), view);
    }
}

// --can-create DLL: every class by both programmatic identifiers, served by DLL. Quiet: the
// caller decides whether that was expected.
int CanCreate(const std::wstring& dll) {
    CoInitialize(nullptr);
    bool ok = true;
    for (const ClassEntry& entry : kClasses) {
        for (const char* prefix : kProgIdPrefixes) {
            CLSID clsid = {};
            IDispatch* object = nullptr;
            ok = ok && SUCCEEDED(CLSIDFromProgID(ProgId(prefix, entry).c_str(), &clsid)) &&
                 SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                            reinterpret_cast<void**>(&object)));
            if (object != nullptr) object->Release();
        }
    }
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(GetModuleHandleW(L"Tracetap.dll"), loaded, MAX_PATH);
    ok = ok && SamePath(loaded, dll);
    CoUninitialize();
    return ok ? 0 : 1;
}

int CanCreateIn(const std::wstring& program, const std::wstring& dll) {
    return Run(program, L"--can-create \"" + dll + L"\"");
}

// A folder whose name the ANSI code page cannot hold (and a registration there that cannot
// complete): the working installation `dll` stays as it was until a registration succeeds.
void ForeignFolder(const std::wstring& dll) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring dir = std::wstring(temp) + L"Tracetap \u00DCn\u00EF \u6587\u6863 " +
                             std::to_wstring(GetCurrentProcessId());
    const std::wstring copy = dir + L"\\Tracetap.dll";
    CHECK(CreateDirectoryW(dir.c_str(), nullptr));
    CHECK(CopyFileW(dll.c_str(), copy.c_str(), FALSE));

    CHECK_EQ(RegSvr32(L"/s", dll), 0);
    // An obstacle the registration meets at its last programmatic identifier: a volatile key
    // takes no lasting subkeys. Everything written before it must be undone.
    const std::wstring last = L"CRUFLDebug.Message";
    DeleteTree(last);
    HKEY key = nullptr;
    CHECK_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, last.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
             ERROR_SUCCESS);
    if (key != nullptr) RegCloseKey(key);
    CHECK(RegSvr32(L"/s", copy) != 0);
    ExpectServedBy(dll, kOwnView);
    CHECK(KeyExists(last) && !KeyExists(last + L"\\CLSID"));
    DeleteTree(last);

    // Without the obstacle it registers, with the folder's real name.
    CHECK_EQ(RegSvr32(L"/s", copy), 0);
    ExpectRegistered(copy);
    CHECK_EQ(CanCreateIn(ProgramDir() + L"tracetap_registry_test.exe", copy), 0);
    CHECK_EQ(RegSvr32(L"/u /s", copy), 0);
    ExpectUnregistered();
    CHECK(DeleteFileW(copy.c_str()));
    CHECK(RemoveDirectoryW(dir.c_str()));
}

// 64-bit Windows: the 32-bit library (`dll32`, with its own copy of this program beside it)
// and the 64-bit one registered side by side; unregistering either leaves the other working.
void SideBySide(const std::wstring& dll64, const std::wstring& otherBin) {
    const std::wstring dll32 = otherBin + L"\\Tracetap.dll";
    const std::wstring test32 = otherBin + L"\\tracetap_registry_test.exe";
    const std::wstring test64 = ProgramDir() + L"tracetap_registry_test.exe";
    CHECK_EQ(RegSvr32(L"/s", dll64), 0);
    CHECK_EQ(RegSvr32(L"/s", dll32, false), 0);
    ExpectServedBy(dll64, kView64);
    ExpectServedBy(dll32, kView32);
    CHECK_EQ(CanCreateIn(test64, dll64), 0);
    CHECK_EQ(CanCreateIn(test32, dll32), 0);

    // The 32-bit one goes: only its class keys and its type-library path go with it.
    CHECK_EQ(RegSvr32(L"/u /s", dll32, false), 0);
    for (const ClassEntry& entry : kClasses) CHECK(!KeyExists(L"CLSID\\" + GuidText(*entry.clsid), kView32));
    CHECK(!KeyExists(LibPathKey(false)));
    ExpectSharedKeys();
    ExpectServedBy(dll64, kView64);
    CHECK_EQ(CanCreateIn(test64, dll64), 0);
    CHECK(CanCreateIn(test32, dll32) != 0);

    // The other way round.
    CHECK_EQ(RegSvr32(L"/s", dll32, false), 0);
    CHECK_EQ(RegSvr32(L"/u /s", dll64), 0);
    for (const ClassEntry& entry : kClasses) CHECK(!KeyExists(L"CLSID\\" + GuidText(*entry.clsid), kView64));
    CHECK(!KeyExists(LibPathKey(true)));
    ExpectSharedKeys();
    ExpectServedBy(dll32, kView32);
    CHECK_EQ(CanCreateIn(test32, dll32), 0);
    CHECK(CanCreateIn(test64, dll64) != 0);

    // The last one takes the shared keys with it.
    CHECK_EQ(RegSvr32(L"/u /s", dll32, false), 0);
    ExpectUnregistered();
}

std::string VersionString(const std::vector<char>& data, const char* name) {
    char* value = nullptr;
    UINT size = 0;
    const std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &size))
        return "<missing>";
    return std::string(value, size > 0 ? strnlen(value, size) : 0);
}

void VersionResource(const std::string& dll) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &handle);
    CHECK(size > 0);
    if (size == 0) return;
    std::vector<char> data(size);
    CHECK(GetFileVersionInfoA(dll.c_str(), 0, size, data.data()));
    CHECK_BYTES(VersionString(data, "ProductName"), "TracetapServer");
    CHECK_BYTES(VersionString(data, "FileVersion"), "2.00.0289");
    CHECK_BYTES(VersionString(data, "OLESelfRegister"), "");
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    CHECK(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedSize));
    if (fixed != nullptr) {
        CHECK_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(0, 2)));
        CHECK_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(289, 0)));
    }
}

void Exports(const std::string& dll) {
    HMODULE module = LoadLibraryExA(dll.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    CHECK(module != nullptr);
    if (module == nullptr) return;
    auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    std::vector<std::string> names;
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
    CHECK_EQ(exports->NumberOfFunctions, 4u);
    const std::vector<std::string> expected = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                               "DllUnregisterServer"};
    CHECK(names == expected);
    FreeLibrary(module);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    if (args.size() == 2 && args[0] == L"--can-create") return CanCreate(args[1]);

    CoInitialize(nullptr);
    const std::wstring dll = ProgramDir() + L"Tracetap.dll";
    VersionResource(Narrow(dll));
    Exports(Narrow(dll));

    Reset();
    if (args.size() == 2 && args[0] == L"--other-bin" && kIs64Bit) {
        std::wstring otherBin = args[1];
        if (!otherBin.empty() && otherBin[0] == L'/') otherBin = L"Z:" + otherBin;  // Wine's root drive
        for (wchar_t& c : otherBin)
            if (c == L'/') c = L'\\';
        if (GetFileAttributesW((otherBin + L"\\Tracetap.dll").c_str()) != INVALID_FILE_ATTRIBUTES) {
            SideBySide(dll, otherBin);
        } else {
            std::printf("registry_test: no 32-bit build in %s, side by side not tried\n", Narrow(otherBin).c_str());
        }
    }
    // Unregistering what is not registered succeeds and leaves nothing behind.
    CHECK_EQ(RegSvr32(L"/u /s", dll), 0);
    ExpectUnregistered();
    CHECK_EQ(RegSvr32(L"/s", dll), 0);
    ExpectRegistered(dll);
    CHECK_EQ(RegSvr32(L"/u /s", dll), 0);
    ExpectUnregistered();
    ForeignFolder(dll);
    // Registered again for the tests that follow.
    CHECK_EQ(RegSvr32(L"/s", dll), 0);
    ExpectRegistered(dll);
    CoUninitialize();
    return tw::wintest::Summary("registry_test");
}
