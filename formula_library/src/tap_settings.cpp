#include "tw/formula_library/tap_settings.hpp"

#include "tw/messaging/capture_line.hpp"

#include <charconv>
#include <cstdlib>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tw::formula {
namespace {

// Environment first; on Windows then the user's key, then the machine's.
bool ReadFromSystem(const char* registryName, const char* variable, std::string& value, std::string& source) {
    if (const char* v = std::getenv(variable); v && *v) {
        value = v;
        source = variable;
        return true;
    }
#ifdef _WIN32
    const struct {
        HKEY root;
        const char* name;
    } roots[] = {{HKEY_CURRENT_USER, "HKCU"}, {HKEY_LOCAL_MACHINE, "HKLM"}};
    for (const auto& root : roots) {
        char buffer[1024];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        // A REG_EXPAND_SZ value comes expanded (asking for it as such would need RRF_NOEXPAND).
        if (RegGetValueA(root.root, "Software\\Tracewell\\Tracetap", registryName, RRF_RT_REG_SZ, &type,
                         buffer, &size) == ERROR_SUCCESS) {
            value.assign(buffer, size > 0 ? size - 1 : 0);
            source = std::string(root.name) + "\\Software\\Tracewell\\Tracetap " + registryName;
            return true;
        }
    }
#else
    (void)registryName;
#endif
    return false;
}

bool ReadNumber(const std::string& text, std::uint64_t& value) {
    std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    std::size_t end = text.find_last_not_of(' ') + 1;
    const auto [p, ec] = std::from_chars(text.data() + start, text.data() + end, value);
    return ec == std::errc() && p == text.data() + end;
}

TapSettings g_settings;
std::once_flag g_once;
std::mutex g_reload;

}  // namespace

TapSettings ReadSettings(SettingReader reader) {
    TapSettings s;
    std::string value, source;
    auto note = [&](const std::string& what) { s.sources.push_back(what + " from " + source); };
    if (reader("Off", "TRACETAP_OFF", value, source)) {
        if (value == "1" || value == "true" || value == "yes") {
            s.off = true;
            note("off");
        } else if (value != "0" && value != "false" && value != "no") {
            s.problems.push_back("off switch \"" + value + "\" (" + source + ") is neither 1 nor 0: ignored");
        }
    }
    if (reader("Capture", "TRACETAP_CAPTURE", value, source)) {
        s.capturePattern = value;
        note("capture file");
    }
    if (reader("CaptureMode", "TRACETAP_CAPTURE_MODE", value, source)) {
        if (value == "always")
            s.captureMode = CaptureMode::Always;
        else if (value == "no-viewer")
            s.captureMode = CaptureMode::NoViewer;
        else
            s.problems.push_back("capture mode \"" + value + "\" (" + source +
                                 ") is neither always nor no-viewer: always");
        note("capture mode");
    }
    if (reader("CaptureMaxMB", "TRACETAP_CAPTURE_MAX_MB", value, source)) {
        std::uint64_t mb = 0;
        if (ReadNumber(value, mb) && mb > 0 && mb <= (std::uint64_t(1) << 20))
            s.captureMaxBytes = mb << 20;
        else
            s.problems.push_back("capture size \"" + value + "\" (" + source +
                                 ") is not a number of MB from 1: no rotation");
        note("capture size");
    }
    if (reader("SendTimeoutMs", "TRACETAP_SEND_TIMEOUT_MS", value, source)) {
        std::uint64_t ms = 0;
        if (ReadNumber(value, ms) && ms > 0 && ms <= 600'000)
            s.sendTimeoutMs = int(ms);
        else
            s.problems.push_back("send timeout \"" + value + "\" (" + source +
                                 ") is not a number of ms from 1 to 600000: no bound");
        note("send timeout");
    }
    return s;
}

const TapSettings& Settings() {
    std::call_once(g_once, [] { g_settings = ReadSettings(ReadFromSystem); });
    return g_settings;
}

const TapSettings& ReloadSettings() {
    Settings();
    std::lock_guard<std::mutex> lock(g_reload);
    g_settings = ReadSettings(ReadFromSystem);
    return g_settings;
}

std::string ExpandCapturePath(const std::string& pattern, std::uint32_t processId, std::int64_t nowMicros) {
    std::string out;
    out.reserve(pattern.size() + 16);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            const char c = pattern[i + 1];
            if (c == 'p') {
                out += std::to_string(processId);
                ++i;
                continue;
            }
            if (c == 'd') {
                out += messaging::CaptureTimeText(nowMicros, true);
                ++i;
                continue;
            }
            if (c == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace tw::formula
