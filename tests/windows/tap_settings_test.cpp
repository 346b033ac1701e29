// The formula functions' settings on Windows: string values under the user's key, the
// environment overriding them; and the capture file written, rotated and read back.
#include "tw/formula_library/tap_settings.hpp"

#include "check.hpp"
#include "tw/formula_library/capture_file.hpp"
#include "tw/messaging/capture_line.hpp"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <windows.h>

using namespace tw::formula;

namespace {

void SetValue(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), DWORD(std::strlen(value) + 1));
}

void RegistryAndEnvironment() {
    HKEY key = nullptr;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tracewell\\Tracetap", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS);
    SetValue(key, "Capture", "C:\\traces\\run-%p.txt");
    SetValue(key, "CaptureMode", "no-viewer");
    SetValue(key, "SendTimeoutMs", "400");
    SetValue(key, "Off", "0");
    _putenv_s("TRACETAP_SEND_TIMEOUT_MS", "150");
    const TapSettings& s = ReloadSettings();
    CHECK_EQ(s.capturePattern, std::string("C:\\traces\\run-%p.txt"));
    CHECK(s.captureMode == CaptureMode::NoViewer);
    CHECK_EQ(s.sendTimeoutMs, 150);
    CHECK(!s.off);
    _putenv_s("TRACETAP_SEND_TIMEOUT_MS", "");
    CHECK_EQ(ReloadSettings().sendTimeoutMs, 400);
    RegCloseKey(key);
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tracewell\\Tracetap");
    CHECK(ReloadSettings().capturePattern.empty());
}

void CaptureWrittenAndRotated() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string path = std::string(temp) + "tw-capture-test.txt";
    DeleteFileA(path.c_str());
    DeleteFileA((path + ".1").c_str());
    {
        CaptureFile file(path, 4096);
        for (int i = 0; i < 100; ++i)
            CHECK(file.Write(NowMicros(), ProcessId(), ThreadId(), "00      12 line\r\nbreak"));
    }
    std::ifstream in(path, std::ios::binary);
    std::string line;
    int lines = 0;
    while (std::getline(in, line)) {
        tw::messaging::CaptureRecord record;
        CHECK(tw::messaging::ParseCaptureLine(line, record));
        CHECK_EQ(record.envelope, std::string("00      12 line\r\nbreak"));
        CHECK_EQ(record.processId, ProcessId());
        ++lines;
    }
    CHECK(lines > 0 && lines < 100);  // the older lines went to .1
    CHECK(GetFileAttributesA((path + ".1").c_str()) != INVALID_FILE_ATTRIBUTES);
    std::string why;
    CHECK(!CaptureFile::CanAppend("Z:\\no\\such\\folder\\x.txt", &why));
    in.close();
    DeleteFileA(path.c_str());
    DeleteFileA((path + ".1").c_str());
}

}  // namespace

int main() {
    RegistryAndEnvironment();
    CaptureWrittenAndRotated();
    return tw::wintest::Summary("tap_settings_test");
}
