#include "doctor.hpp"

#include "tw/formula_library/capture_file.hpp"
#include "tw/formula_library/tap_settings.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"

#include <chrono>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::formula {
namespace {

struct Report {
    FILE* out;
    bool failed = false;
    void Line(const char* verdict, const std::string& what, const std::string& fix = {}) {
        std::fprintf(out, "%-5s %s%s%s\n", verdict, what.c_str(), fix.empty() ? "" : "; fix: ", fix.c_str());
    }
    void Ok(const std::string& what) { Line("ok", what); }
    void Note(const std::string& what) { Line("note", what); }
    void Fail(const std::string& what, const std::string& fix) {
        failed = true;
        Line("FAIL", what, fix);
    }
};

std::string OwnDirectory() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string s(path, std::size_t(n));
    return s.substr(0, s.find_last_of('/'));
}

}  // namespace

int RunDoctor(FILE* out) {
    Report r{out};
    const TapSettings& s = ReloadSettings();

    // The shared library other programs load the formula functions from.
    const std::string beside = OwnDirectory() + "/libtracetap.so.3";
    void* library = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) library = ::dlopen("libtracetap.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library) {
        r.Ok("libtracetap.so.3 loads" + std::string(::dlsym(library, "DebugSendMsgEx") ? " and has the functions" : ""));
        ::dlclose(library);
    } else {
        r.Note("libtracetap.so.3 not found beside tracetap or on the library path (programs that load it need it; "
               "tracetap itself has the functions built in)");
    }

    // The viewer: a frame it drops unread, so the round trip adds no line to the trace.
    const std::string dir = messaging::local::SocketDirectoryPath();
    const auto start = std::chrono::steady_clock::now();
    const messaging::SendResult result = messaging::SendRawFrameTo(messaging::kReceiverCaption, 0, 1, std::string(1, '\0'));
    const double us = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (result == messaging::SendResult::Delivered) {
        char text[64];
        std::snprintf(text, sizeof text, "%.0f us", us);
        r.Ok("a viewer is reachable (socket folder " + dir + "), round trip " + text);
    } else {
        struct stat st {};
        const bool folder = ::stat(dir.c_str(), &st) == 0;
        r.Fail("no viewer is reachable through " + dir + (folder ? "" : " (the folder does not exist)"),
               "start tracewell32 as this user in the same session (the same XDG_RUNTIME_DIR or TRACEWELL_SOCKET_DIR), "
               "or capture to a file (TRACETAP_CAPTURE) and open it in the viewer");
    }

    // The settings in force.
    for (const std::string& source : s.sources) r.Note("setting: " + source);
    for (const std::string& problem : s.problems) r.Fail("setting: " + problem, "correct or remove the value");
    if (s.off) r.Note("TRACETAP_OFF is set: every formula call returns at once, nothing is sent or captured");
    if (s.sendTimeoutMs > 0) r.Ok("a call waits at most " + std::to_string(s.sendTimeoutMs) + " ms for the viewer");
    else r.Note("no send timeout: a call waits as long as the viewer takes (TRACETAP_SEND_TIMEOUT_MS bounds it)");
    if (!s.capturePattern.empty()) {
        const std::string path = ExpandCapturePath(s.capturePattern, ProcessId(), NowMicros());
        std::string why;
        if (CaptureFile::CanAppend(path, &why))
            r.Ok(std::string("capture to ") + path + (s.captureMode == CaptureMode::NoViewer ? " (messages no viewer took)" : " (every message)") +
                 (s.captureMaxBytes ? ", rotated at " + std::to_string(s.captureMaxBytes >> 20) + " MB" : ""));
        else
            r.Fail("capture file " + path + " cannot be written: " + why,
                   "choose a folder this user may write to, or create the file with rights for this user");
    } else {
        r.Note("no capture file (TRACETAP_CAPTURE)");
    }

    // What the formula calls of this user met so far.
    const TapCounts counts = ReadCountFile();
    const std::string counted = std::to_string(counts.capturesSkipped) + " captures skipped, " +
                                std::to_string(counts.timedOut) + " calls timed out (" + CountFilePath() + ")";
    if (counts.capturesSkipped || counts.timedOut) r.Note("so far: " + counted);
    else r.Ok("so far: " + counted);
    return r.failed ? 1 : 0;
}

}  // namespace tw::formula
