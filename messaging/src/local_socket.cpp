#include "tw/messaging/local_socket.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tw::messaging::local {

std::string SocketDirectoryPath() {
    if (const char* dir = std::getenv(kDirectoryVariable); dir && *dir) return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && run[0] == '/') {
        return std::string(run) + "/tracewell";
    }
    return "/tmp/tracewell-" + std::to_string(geteuid());
}

bool IsPrivateDirectory(const std::string& path) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return false;
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool EnsurePrivateDirectory(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "socket directory " + path + ": " + why;
        return false;
    };
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return fail(std::strerror(errno));
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return fail(std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return fail("not a directory");
    if (st.st_uid != geteuid()) return fail("owned by another user");
    if ((st.st_mode & 077) != 0 && chmod(path.c_str(), 0700) != 0) return fail(std::strerror(errno));
    return true;
}

std::string CaptionPrefix(std::string_view caption) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : caption) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    out += '.';
    return out;
}

void PutFrameHeader(char* out, std::uint32_t marker, std::uint32_t byteCount) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<char>((marker >> (8 * i)) & 0xFF);
        out[4 + i] = static_cast<char>((byteCount >> (8 * i)) & 0xFF);
    }
}

std::uint32_t GetU32(const char* in) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(in[i]);
    return v;
}

}  // namespace tw::messaging::local
