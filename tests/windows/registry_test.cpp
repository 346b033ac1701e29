// Registration of Tracetap.dll with regsvr32, checked in the registry, and unregistration;
// the version resource and the export table. Leaves the library registered for the client test.
#include <windows.h>

#include <string>
#include <vector>

#include "check.hpp"
#include "tracetap_ids.hpp"

namespace {

std::string ProgramDir() {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string dir(self);
    dir.resize(dir.find_last_of("\\/") + 1);
    return dir;
}

std::string GuidText(const GUID& guid) {
    wchar_t wide[40];
    StringFromGUID2(guid, wide, 40);
    std::string text;
    for (const wchar_t* p = wide; *p != 0; ++p) text.push_back(static_cast<char>(*p));
    return text;
}

// Runs regsvr32 on the library and returns its exit code (-1 when it could not start).
int RegSvr32(const std::string& options, const std::string& dll) {
    std::string command = "regsvr32.exe " + options + " \"" + dll + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
}

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A string value of HKCR\path (name nullptr: the default value); "<missing>" when absent.
std::string Value(const std::string& path, const char* name = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "<missing>";
    char buffer[512] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LSTATUS status =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? std::string(buffer) : "<missing>";
}

bool SamePath(const std::string& a, const std::string& b) {
    char la[MAX_PATH] = {}, lb[MAX_PATH] = {};
    GetLongPathNameA(a.c_str(), la, MAX_PATH);
    GetLongPathNameA(b.c_str(), lb, MAX_PATH);
    return lstrcmpiA(la, lb) == 0 && la[0] != 0;
}

void ExpectRegistered(const std::string& dll) {
    using namespace tw::tracetap;
    const std::string lib = GuidText(kLibId);
    for (const ClassEntry& entry : kClasses) {
        const std::string clsid = GuidText(*entry.clsid);
        for (const char* prefix : kProgIdPrefixes) {
            const std::string progId = std::string(prefix) + entry.className;
            CHECK_BYTES(Value(progId + "\\CLSID"), clsid);
            CLSID fromProgId = {};
            std::wstring wide(progId.begin(), progId.end());
            CHECK(SUCCEEDED(CLSIDFromProgID(wide.c_str(), &fromProgId)) &&
                  IsEqualCLSID(fromProgId, *entry.clsid));
        }
        const std::string key = "CLSID\\" + clsid;
        CHECK(SamePath(Value(key + "\\InprocServer32"), dll));
        CHECK_BYTES(Value(key + "\\InprocServer32", "ThreadingModel"), "Apartment");
        CHECK_BYTES(Value(key + "\\ProgID"), std::string("Tracetap.") + entry.className);
        CHECK_BYTES(Value(key + "\\TypeLib"), lib);
        // The dual interface is marshalled by the standard automation marshaller.
        const std::string iface = "Interface\\" + GuidText(*entry.iid);
        CHECK_BYTES(Value(iface + "\\TypeLib"), lib);
        CHECK_BYTES(Value(iface + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
    }
    const std::string tlbKey = "TypeLib\\" + lib + "\\3.0";
    CHECK_BYTES(Value(tlbKey), "Tracetap");
    CHECK(SamePath(Value(tlbKey + (sizeof(void*) == 8 ? "\\409\\win64" : "\\409\\win32")), dll));
}

void ExpectUnregistered() {
    using namespace tw::tracetap;
    for (const ClassEntry& entry : kClasses) {
        for (const char* prefix : kProgIdPrefixes) CHECK(!KeyExists(std::string(prefix) + entry.className));
        CHECK(!KeyExists("CLSID\\" + GuidText(*entry.clsid)));
        CHECK(!KeyExists("Interface\\" + GuidText(*entry.iid)));
    }
    CHECK(!KeyExists("TypeLib\\" + GuidText(kLibId) + "\\3.0"));
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
    CoInitialize(nullptr);
    const std::string dll = ProgramDir() + "Tracetap.dll";
    VersionResource(dll);
    Exports(dll);

    // Unregistering what is not registered succeeds and leaves nothing behind.
    CHECK_EQ(RegSvr32("/u /s", dll), 0);
    ExpectUnregistered();
    CHECK_EQ(RegSvr32("/s", dll), 0);
    ExpectRegistered(dll);
    CHECK_EQ(RegSvr32("/u /s", dll), 0);
    ExpectUnregistered();
    // Registered again for the tests that follow.
    CHECK_EQ(RegSvr32("/s", dll), 0);
    ExpectRegistered(dll);
    CoUninitialize();
    return tw::wintest::Summary("registry_test");
}
