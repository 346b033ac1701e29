// TracetapCheck: checks what report formulas depend on here: the registration of the function
// library for each bitness, whether a viewer is reachable and how long a round trip takes, the
// settings in force, the capture file, and the counts so far. One line a check with its
// verdict, and the fix where it fails. Exit status 0 when a viewer is reachable and everything
// configured works, 1 otherwise.
#include "tracetap_ids.hpp"
#include "tw/formula_library/tap_check.hpp"
#include "tw/messaging/transport.hpp"

#include <chrono>
#include <cstdio>
#include <string>
#include <windows.h>

namespace {

using tw::formula::CheckReport;

std::string Guid(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

bool ReadString(HKEY root, const std::string& path, const char* name, REGSAM view, std::string& value) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    const LSTATUS status =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return false;
    value.assign(buffer, size > 0 && buffer[size - 1] == '\0' ? size - 1 : size);
    return true;
}

// The machine type a DLL was built for, 0 when it cannot be read.
WORD MachineOf(const std::string& path) {
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    IMAGE_DOS_HEADER dos{};
    IMAGE_NT_HEADERS32 nt{};
    DWORD read = 0;
    WORD machine = 0;
    if (ReadFile(f, &dos, sizeof dos, &read, nullptr) && read == sizeof dos &&
        dos.e_magic == IMAGE_DOS_SIGNATURE &&
        SetFilePointer(f, dos.e_lfanew, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
        ReadFile(f, &nt, sizeof nt, &read, nullptr) && read == sizeof nt &&
        nt.Signature == IMAGE_NT_SIGNATURE)
        machine = nt.FileHeader.Machine;
    CloseHandle(f);
    return machine;
}

bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    BOOL wow = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow) && wow;
#endif
}

void CheckRegistration(CheckReport& r, bool sixtyFour) {
    const char* bits = sixtyFour ? "64-bit" : "32-bit";
    const REGSAM view = sixtyFour ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
#ifdef _WIN64
    const bool mine = sixtyFour;
#else
    const bool mine = !sixtyFour;
#endif
    std::string dll;
    int good = 0;
    for (const auto& entry : tw::tracetap::kClasses) {
        const std::string key = "CLSID\\" + Guid(*entry.clsid);
        std::string path, model, typelib;
        if (!ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", nullptr, view, path)) {
            r.Fail(std::string(bits) + " class " + entry.className + " is not registered",
                   std::string("register the library: regsvr32 \"<folder>\\") + (sixtyFour ? "x64\\" : "") +
                       "Tracetap.dll\"");
            continue;
        }
        ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel", view, model);
        ReadString(HKEY_CLASSES_ROOT, key + "\\TypeLib", nullptr, view, typelib);
        if (model != "Apartment")
            r.Fail(std::string(bits) + " class " + entry.className + " has threading model \"" + model + "\"",
                   "register the library again with regsvr32");
        else if (typelib != Guid(tw::tracetap::kLibId))
            r.Fail(std::string(bits) + " class " + entry.className + " names no or another type library",
                   "register the library again with regsvr32");
        else
            ++good;
        dll = path;
    }
    if (dll.empty()) return;
    if (good == int(std::size(tw::tracetap::kClasses)))
        r.Ok(std::string(bits) + " classes registered (" + std::to_string(good) +
             "), apartment threaded, with the type library");
    const std::string version = sixtyFour ? "win64" : "win32";
    std::string typelibPath;
    if (ReadString(HKEY_CLASSES_ROOT, "TypeLib\\" + Guid(tw::tracetap::kLibId) + "\\3.0\\409\\" + version,
                   nullptr, 0, typelibPath))
        r.Ok(std::string(bits) + " type library registered: " + typelibPath);
    else
        r.Fail(std::string(bits) + " type library not registered",
               "register the library again with regsvr32");
    if (GetFileAttributesA(dll.c_str()) == INVALID_FILE_ATTRIBUTES) {
        r.Fail(std::string(bits) + " library " + dll + " named in the registry does not exist",
               "install Tracewell again, or register the library where it is");
        return;
    }
    const WORD machine = MachineOf(dll);
    const bool right = machine == (sixtyFour ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    if (!right) {
        r.Fail(std::string(bits) + " registration names " + dll + ", a library of the other bitness",
               "register each bitness's own Tracetap.dll");
        return;
    }
    if (mine) {
        HMODULE module = LoadLibraryA(dll.c_str());
        if (module && GetProcAddress(module, "DllGetClassObject"))
            r.Ok(std::string(bits) + " library " + dll + " loads");
        else
            r.Fail(std::string(bits) + " library " + dll + " does not load (error " +
                       std::to_string(GetLastError()) + ")",
                   "install Tracewell again (a file may be missing or damaged)");
        if (module) FreeLibrary(module);
    } else {
        r.Ok(std::string(bits) + " library " + dll + " is there and built for " + bits + " Windows");
    }
}

void CheckViewer(CheckReport& r) {
    // A frame that is no envelope: the viewer takes it and shows nothing.
    const auto start = std::chrono::steady_clock::now();
    const tw::messaging::SendResult result =
        tw::messaging::SendRawFrameTo(tw::messaging::kReceiverCaption, 0, 1, std::string(1, '\0'));
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (result == tw::messaging::SendResult::Delivered) {
        char text[64];
        std::snprintf(text, sizeof text, "%.0f us", us);
        r.Ok(std::string("a viewer is reachable, round trip ") + text);
    } else {
        r.Fail(
            "no viewer window \"Tracewell\" is reachable from this desktop",
            "start tracewell32 in this user's session; a service or scheduled job has no desktop the viewer "
            "can "
            "share: capture to a file (Capture under HKEY_LOCAL_MACHINE\\Software\\Tracewell\\Tracetap) and "
            "follow it in the viewer");
    }
}

}  // namespace

int main() {
    CheckReport r(stdout);
    CheckRegistration(r, false);
    if (Is64BitWindows()) CheckRegistration(r, true);
    CheckViewer(r);
    tw::formula::CheckSettingsAndCounts(r);
    std::fflush(stdout);
    return r.Failed() ? 1 : 0;
}
