// What the formula functions do beyond sending: capture to a file, the off switch and a bound
// on the wait for a viewer. Read once per process: on Linux from the environment; on Windows
// from string values under HKEY_CURRENT_USER\Software\Tracewell\Tracetap, then the same key
// under HKEY_LOCAL_MACHINE (for services), with environment variables overriding both.
//
//   TRACETAP_OFF=1                   every call returns at once, nothing sent or captured
//   TRACETAP_CAPTURE=PATH            capture file; %p becomes the process id, %d the date (UTC)
//   TRACETAP_CAPTURE_MODE=always     every message (the default), or no-viewer: only those that
//                                    found no viewer (or timed out)
//   TRACETAP_CAPTURE_MAX_MB=N        past N MB the file is renamed to PATH.1 and begun again
//   TRACETAP_SEND_TIMEOUT_MS=N       a viewer that has not taken a message after N ms is given
//                                    up (for a few seconds); without it a call waits as long as
//                                    the viewer takes
// Registry value names: Off, Capture, CaptureMode, CaptureMaxMB, SendTimeoutMs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::formula {

enum class CaptureMode { Always, NoViewer };

struct TapSettings {
    bool off = false;
    std::string capturePattern;  // as configured, before %p and %d
    CaptureMode captureMode = CaptureMode::Always;
    std::uint64_t captureMaxBytes = 0;  // 0: no rotation
    int sendTimeoutMs = 0;              // 0: no bound
    // Where each value came from ("TRACETAP_CAPTURE", "HKCU Capture", ...) and what was wrong
    // with a value that could not be used (it is then left at its default).
    std::vector<std::string> sources;
    std::vector<std::string> problems;
};

// A value as found, by its registry name ("Capture") and variable ("TRACETAP_CAPTURE").
using SettingReader = bool (*)(const char* registryName, const char* variable, std::string& value,
                               std::string& source);

// The settings of this process, read on first use.
const TapSettings& Settings();
// Reads them again (tests, and the check of the installation after changing them).
const TapSettings& ReloadSettings();
// Reads settings through any reader (tests).
TapSettings ReadSettings(SettingReader reader);

// The capture path for this process: %p and %d replaced.
std::string ExpandCapturePath(const std::string& pattern, std::uint32_t processId, std::int64_t nowMicros);

}  // namespace tw::formula
