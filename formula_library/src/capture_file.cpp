#include "tw/formula_library/capture_file.hpp"

#include "tw/messaging/capture_line.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tw::formula {
namespace {

// After a failed open, the next try waits this long: a folder without rights costs a call
// one failed open a second, not one a call.
constexpr std::int64_t kRetryOpenMicros = 1'000'000;

// The count file's text read into now; with add, added to it and written back into text (its
// length returned; 0 without add).
int UpdateCounts(char (&text)[256], const TapCounts* add, TapCounts& now, const char* lineEnd) {
    unsigned long long skipped = 0, timed = 0;
    std::sscanf(text, "captures-skipped %llu timed-out %llu", &skipped, &timed);
    now.capturesSkipped = skipped;
    now.timedOut = timed;
    if (!add) return 0;
    now.capturesSkipped += add->capturesSkipped;
    now.timedOut += add->timedOut;
    return std::snprintf(text, sizeof text, "captures-skipped %llu timed-out %llu%s",
                         static_cast<unsigned long long>(now.capturesSkipped),
                         static_cast<unsigned long long>(now.timedOut), lineEnd);
}

}  // namespace

std::int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

#ifdef _WIN32

std::uint32_t ProcessId() { return GetCurrentProcessId(); }
std::uint32_t ThreadId() { return GetCurrentThreadId(); }

namespace {
HANDLE AsHandle(std::intptr_t h) { return reinterpret_cast<HANDLE>(h); }

std::wstring Wide(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(std::size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), n);
    return out;
}

HANDLE OpenForAppend(const std::string& path) {
    // Append data only: every write lands at the end, whoever else writes.
    return CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

bool CaptureFile::Open() {
    HANDLE h = OpenForAppend(m_path);
    if (h == INVALID_HANDLE_VALUE) return false;
    m_handle = reinterpret_cast<std::intptr_t>(h);
    return true;
}

void CaptureFile::Close() {
    if (m_handle != -1) CloseHandle(AsHandle(m_handle));
    m_handle = -1;
}

bool CaptureFile::RotateIfFull(std::size_t adding) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(AsHandle(m_handle), &size) || std::uint64_t(size.QuadPart) + adding <= m_maxBytes)
        return true;
    // Another process may have rotated already: then our handle is the old file's.
    Close();
    const std::wstring path = Wide(m_path), older = Wide(m_path + ".1");
    WIN32_FILE_ATTRIBUTE_DATA now{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now) &&
        ((std::uint64_t(now.nFileSizeHigh) << 32) | now.nFileSizeLow) + adding > m_maxBytes)
        MoveFileExW(path.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING);
    return Open();
}

bool CaptureFile::CanAppend(const std::string& path, std::string* why) {
    // A file not there yet is made and removed again at once.
    const std::wstring wide = Wide(path);
    const bool existed = GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
    HANDLE h = existed ? OpenForAppend(path)
                       : CreateFileW(wide.c_str(), FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (why) *why = "cannot open it for appending (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    CloseHandle(h);
    return true;
}

bool CaptureFile::WriteLine() {
    DWORD written = 0;
    if (!WriteFile(AsHandle(m_handle), m_line.data(), DWORD(m_line.size()), &written, nullptr) ||
        written != m_line.size()) {
        Close();
        return false;
    }
    return true;
}

std::string CountFilePath() {
    const char* local = std::getenv("LOCALAPPDATA");
    if (!local || !*local) return {};
    return std::string(local) + "\\Tracewell\\tracetap-counts.txt";
}

namespace {
bool LockedUpdate(const std::string& path, const TapCounts* add, TapCounts& now) {
    if (path.empty()) return false;
    const std::string dir = path.substr(0, path.find_last_of('\\'));
    CreateDirectoryA(dir.c_str(), nullptr);
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 50 && h == INVALID_HANDLE_VALUE; ++attempt) {
        // No sharing: the open itself is the lock.
        h = CreateFileA(path.c_str(), GENERIC_READ | (add ? GENERIC_WRITE : 0), add ? 0 : FILE_SHARE_READ,
                        nullptr, add ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            if (!add && GetLastError() == ERROR_FILE_NOT_FOUND) return true;
            Sleep(2);
        }
    }
    if (h == INVALID_HANDLE_VALUE) return false;
    char text[256] = {};
    DWORD read = 0;
    ReadFile(h, text, sizeof text - 1, &read, nullptr);
    const int n = UpdateCounts(text, add, now, "\r\n");
    bool ok = true;
    if (add) {
        DWORD written = 0;
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        ok = WriteFile(h, text, DWORD(n), &written, nullptr) && SetEndOfFile(h);
    }
    CloseHandle(h);
    return ok;
}
}  // namespace

#else

std::uint32_t ProcessId() { return std::uint32_t(::getpid()); }
std::uint32_t ThreadId() { return std::uint32_t(::syscall(SYS_gettid)); }

bool CaptureFile::Open() {
    // New files as the user's umask allows (readable by a viewer of another account on a
    // shared folder when the umask lets it be).
    const int fd =
        ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        // A FIFO or a device would block or swallow the lines: only regular files are captured to.
        ::close(fd);
        return false;
    }
    m_handle = fd;
    return true;
}

void CaptureFile::Close() {
    if (m_handle >= 0) ::close(int(m_handle));
    m_handle = -1;
}

bool CaptureFile::RotateIfFull(std::size_t adding) {
    struct stat mine {};
    if (::fstat(int(m_handle), &mine) != 0) return false;
    if (std::uint64_t(mine.st_size) + adding <= m_maxBytes) return true;
    // One process rotates at a time; the others find the path naming a new file and reopen.
    ::flock(int(m_handle), LOCK_EX);
    struct stat named {};
    if (::stat(m_path.c_str(), &named) == 0 && named.st_ino == mine.st_ino && named.st_dev == mine.st_dev &&
        std::uint64_t(named.st_size) + adding > m_maxBytes)
        ::rename(m_path.c_str(), (m_path + ".1").c_str());
    ::flock(int(m_handle), LOCK_UN);
    Close();
    return Open();
}

bool CaptureFile::CanAppend(const std::string& path, std::string* why) {
    // A file not there yet is not made: its folder must let this user make it.
    if (::access(path.c_str(), F_OK) != 0) {
        const std::size_t slash = path.find_last_of('/');
        const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        if (::access(dir.c_str(), W_OK | X_OK) == 0) return true;
        if (why) *why = "its folder " + dir + ": " + std::strerror(errno);
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (why) *why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular && why) *why = "it is not a regular file";
    return regular;
}

bool CaptureFile::WriteLine() {
    // One write a line: with O_APPEND the line lands whole at the end, whoever else appends.
    ssize_t n;
    do {
        n = ::write(int(m_handle), m_line.data(), m_line.size());
    } while (n < 0 && errno == EINTR);
    if (n != ssize_t(m_line.size())) {
        Close();
        return false;
    }
    return true;
}

std::string CountFilePath() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return std::string(state) + "/tracetap/counts";
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return std::string(home) + "/.local/state/tracetap/counts";
}

namespace {
bool LockedUpdate(const std::string& path, const TapCounts* add, TapCounts& now) {
    if (path.empty()) return false;
    if (add) {
        // The folders, private to the user.
        for (std::size_t at = path.find('/', 1); at != std::string::npos; at = path.find('/', at + 1))
            ::mkdir(path.substr(0, at).c_str(), 0700);
    }
    const int fd = ::open(path.c_str(), (add ? O_RDWR | O_CREAT : O_RDONLY) | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return !add && errno == ENOENT;
    ::flock(fd, add ? LOCK_EX : LOCK_SH);
    char text[256] = {};
    const ssize_t r = ::pread(fd, text, sizeof text - 1, 0);
    (void)r;
    const int n = UpdateCounts(text, add, now, "\n");
    bool ok = true;
    if (add) {
        ok = ::pwrite(fd, text, std::size_t(n), 0) == n && ::ftruncate(fd, n) == 0;
    }
    ::close(fd);
    return ok;
}
}  // namespace

#endif

CaptureFile::CaptureFile(std::string path, std::uint64_t maxBytes)
    : m_path(std::move(path)), m_maxBytes(maxBytes) {}

CaptureFile::~CaptureFile() { Close(); }

bool CaptureFile::Write(std::int64_t sentAtMicros, std::uint32_t processId, std::uint32_t threadId,
                        std::string_view envelope) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_handle == -1) {
        if (sentAtMicros < m_nextTry || !Open()) {
            m_nextTry = sentAtMicros + kRetryOpenMicros;
            return false;
        }
    }
    m_line.clear();
    messaging::AppendCaptureLine(m_line, sentAtMicros, processId, threadId, envelope);
    if (m_maxBytes && !RotateIfFull(m_line.size())) return false;
    return WriteLine();
}

bool AddToCountFile(const TapCounts& add) {
    TapCounts now;
    return LockedUpdate(CountFilePath(), &add, now);
}

TapCounts ReadCountFile() {
    TapCounts now;
    LockedUpdate(CountFilePath(), nullptr, now);
    return now;
}

}  // namespace tw::formula
