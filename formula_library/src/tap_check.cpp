#include "tw/formula_library/tap_check.hpp"

#include "tw/formula_library/capture_file.hpp"
#include "tw/formula_library/tap_settings.hpp"

namespace tw::formula {

void CheckSettingsAndCounts(CheckReport& r) {
    const TapSettings& s = ReloadSettings();
    for (const std::string& source : s.sources) r.Note("setting: " + source);
    for (const std::string& problem : s.problems)
        r.Fail("setting: " + problem, "correct or remove the value");
    if (s.off)
        r.Note("the off switch is on: every formula call returns at once, nothing is sent or captured");
    if (s.sendTimeoutMs > 0)
        r.Ok("a call waits at most " + std::to_string(s.sendTimeoutMs) + " ms for the viewer");
    else
        r.Note(
            "no send timeout: a call waits as long as the viewer takes (TRACETAP_SEND_TIMEOUT_MS or "
            "SendTimeoutMs bounds it)");
    if (!s.capturePattern.empty()) {
        const std::string path = ExpandCapturePath(s.capturePattern, ProcessId(), NowMicros());
        std::string why;
        if (CaptureFile::CanAppend(path, &why))
            r.Ok(
                "capture to " + path +
                (s.captureMode == CaptureMode::NoViewer ? " (messages no viewer took)" : " (every message)") +
                (s.captureMaxBytes ? ", rotated at " + std::to_string(s.captureMaxBytes >> 20) + " MB" : ""));
        else
            r.Fail("capture file " + path + " cannot be written: " + why,
                   "choose a folder this user may write to, or give this user the right to write there");
    } else {
        r.Note("no capture file (TRACETAP_CAPTURE or Capture)");
    }
    const TapCounts counts = ReadCountFile();
    const std::string counted = std::to_string(counts.capturesSkipped) + " captures skipped, " +
                                std::to_string(counts.timedOut) + " calls timed out (" + CountFilePath() +
                                ")";
    if (counts.capturesSkipped || counts.timedOut)
        r.Note("so far: " + counted);
    else
        r.Ok("so far: " + counted);
}

}  // namespace tw::formula
