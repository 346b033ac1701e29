#include "doctor.hpp"

#include "tw/formula_library/tap_check.hpp"
#include "tw/messaging/local_socket.hpp"
#include "tw/messaging/transport.hpp"

#include <chrono>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::formula {
namespace {

std::string OwnDirectory() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    std::string s(path, std::size_t(n));
    return s.substr(0, s.find_last_of('/'));
}

}  // namespace

int RunDoctor(FILE* out) {
    CheckReport r(out);

    // The shared library other programs load the formula functions from.
    const std::string beside = OwnDirectory() + "/libtracetap.so.3";
    void* library = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) library = ::dlopen("libtracetap.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library) {
        r.Ok("libtracetap.so.3 loads" +
             std::string(::dlsym(library, "DebugSendMsgEx") ? " and has the functions" : ""));
        ::dlclose(library);
    } else {
        r.Note(
            "libtracetap.so.3 not found beside tracetap or on the library path (programs that load it need "
            "it; "
            "tracetap itself has the functions built in)");
    }

    // The viewer: a frame it drops unread, so the round trip adds no line to the trace.
    const std::string dir = messaging::local::SocketDirectoryPath();
    const auto start = std::chrono::steady_clock::now();
    const messaging::SendResult result =
        messaging::SendRawFrameTo(messaging::kReceiverCaption, 0, 1, std::string(1, '\0'));
    const double us =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    if (result == messaging::SendResult::Delivered) {
        char text[64];
        std::snprintf(text, sizeof text, "%.0f us", us);
        r.Ok("a viewer is reachable (socket folder " + dir + "), round trip " + text);
    } else {
        struct stat st {};
        const bool folder = ::stat(dir.c_str(), &st) == 0;
        r.Fail("no viewer is reachable through " + dir + (folder ? "" : " (the folder does not exist)"),
               "start tracewell32 as this user in the same session (the same XDG_RUNTIME_DIR or "
               "TRACEWELL_SOCKET_DIR), "
               "or capture to a file (TRACETAP_CAPTURE) and open it in the viewer");
    }

    CheckSettingsAndCounts(r);
    return r.Failed() ? 1 : 0;
}

}  // namespace tw::formula
