// The capture file of a process: each message appended as one capture line with a single
// append-mode write, so lines of many processes and threads writing to one file stay whole and
// in each writer's order. A capture that cannot be written is skipped and counted, never an
// error and never a wait for the formula.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace tw::formula {

class CaptureFile {
  public:
    // maxBytes 0: the file grows without bound; else past it the file is renamed to path.1
    // (replacing an older one) and a new file begun.
    CaptureFile(std::string path, std::uint64_t maxBytes);
    ~CaptureFile();
    CaptureFile(const CaptureFile&) = delete;
    CaptureFile& operator=(const CaptureFile&) = delete;

    // Appends one message; false when it could not be written (it is then counted as skipped).
    bool Write(std::int64_t sentAtMicros, std::uint32_t processId, std::uint32_t threadId,
               std::string_view envelope);
    const std::string& Path() const { return m_path; }
    // Whether the file can be opened for appending now (the check of the installation).
    static bool CanAppend(const std::string& path, std::string* why);

  private:
    bool Open();
    void Close();
    bool RotateIfFull(std::size_t adding);
    // Appends m_line with one write; closes the file when that fails.
    bool WriteLine();

    std::string m_path;
    std::uint64_t m_maxBytes;
    std::mutex m_mutex;
    std::string m_line;           // reused for each line
    std::intptr_t m_handle = -1;  // file descriptor or HANDLE
    std::int64_t m_nextTry = 0;   // after a failed open, microseconds before trying again
};

// Counts a process adds to the user's count file, for the check of the installation:
// captures skipped and calls given up on a viewer that did not answer in time.
struct TapCounts {
    std::uint64_t capturesSkipped = 0;
    std::uint64_t timedOut = 0;
};
// The count file: $XDG_STATE_HOME/tracetap/counts (~/.local/state/...) on Linux,
// %LOCALAPPDATA%\Tracewell\tracetap-counts.txt on Windows.
std::string CountFilePath();
// Adds to the file (under a lock); false when it cannot be written.
bool AddToCountFile(const TapCounts& add);
TapCounts ReadCountFile();

// Microseconds since 1970 UTC, and the ids of the calling process and thread.
std::int64_t NowMicros();
std::uint32_t ProcessId();
std::uint32_t ThreadId();

}  // namespace tw::formula
