// The receiving probe: a program with a top-level window captioned "Tracewell" (or another
// caption) that records every WM_COPYDATA it gets into shared memory, raw as it arrived and
// as the receiving hook handed it on. Tests start it, send, and read the records back.
#pragma once

#include "tw/messaging/transport.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <windows.h>

namespace tw::wintest {

inline constexpr int kProbeMaxRecords = 256;
inline constexpr int kProbeRawBytes = 2048;

struct ProbeRecord {
    std::uint64_t marker;         // dwData
    std::uint32_t byteCount;      // cbData
    std::uint64_t senderWindow;   // wParam
    std::uint32_t senderThread;   // thread owning the sender window (0 if none)
    std::uint32_t senderVisible;  // IsWindowVisible of the sender window
    char senderCaption[32];       // caption of the sender window
    std::uint32_t rawCount;       // bytes copied from lpData: min(cbData, kProbeRawBytes)
    char raw[kProbeRawBytes];
    std::uint32_t handedOn;  // 1 when the hook gave an envelope to its handler
    std::uint32_t envelopeLength;
    char envelope[1100];
    std::uint32_t previousProcSaw;  // 1 when the original window procedure saw this message too
};

struct ProbeShared {
    volatile LONG count;  // records written (the array holds the first kProbeMaxRecords)
    ProbeRecord records[kProbeMaxRecords];
};

// Names of the kernel objects of one probe, made unique by a tag (the test's process id).
inline std::string ProbeMappingName(DWORD tag) { return "TracewellProbeMap" + std::to_string(tag); }
inline std::string ProbeReadyName(DWORD tag) { return "TracewellProbeReady" + std::to_string(tag); }

// A running probe process, seen from the test.
class Probe {
  public:
    // Starts tracewell_probe.exe (next to this program) with `caption`; waits until its window
    // exists. Ok() is false when that failed within 20 s.
    explicit Probe(const char* caption = "Tracewell") {
        const DWORD tag = GetCurrentProcessId() * 16 + (s_serial++ % 16);
        m_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(ProbeShared),
                                       ProbeMappingName(tag).c_str());
        if (m_mapping == nullptr) return;
        m_shared = static_cast<ProbeShared*>(
            MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeShared)));
        HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, ProbeReadyName(tag).c_str());
        char self[MAX_PATH];
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        std::string dir(self);
        dir.resize(dir.find_last_of("\\/") + 1);
        std::string command =
            "\"" + dir + "tracewell_probe.exe\" " + std::to_string(tag) + " \"" + caption + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                           &m_process)) {
            HANDLE waits[2] = {ready, m_process.hProcess};
            m_ok = WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
        }
        CloseHandle(ready);
        // A sender that found no viewer a moment ago looks for one again only after this.
        Sleep(tw::messaging::kNoReceiverMemoryMs + 50);
    }
    ~Probe() { Stop(); }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    bool Ok() const { return m_ok && m_shared != nullptr; }
    LONG Count() const { return m_shared != nullptr ? m_shared->count : 0; }
    // The record `index`, or an empty one when there is no such record.
    const ProbeRecord& Record(LONG index) const {
        static const ProbeRecord none = {};
        if (m_shared == nullptr || index < 0 || index >= Count() || index >= kProbeMaxRecords) return none;
        return m_shared->records[index];
    }
    const ProbeRecord& Last() const { return Record(Count() - 1); }
    std::string_view Raw(const ProbeRecord& r) const { return {r.raw, r.rawCount}; }
    std::string_view Envelope(const ProbeRecord& r) const { return {r.envelope, r.envelopeLength}; }

    // Closes the probe's window and waits for the process to end.
    void Stop() {
        if (m_process.hProcess != nullptr) {
            PostThreadMessageA(m_process.dwThreadId, WM_QUIT, 0, 0);
            if (WaitForSingleObject(m_process.hProcess, 10000) != WAIT_OBJECT_0)
                TerminateProcess(m_process.hProcess, 1);
            CloseHandle(m_process.hProcess);
            CloseHandle(m_process.hThread);
            m_process = {};
        }
        if (m_shared != nullptr) UnmapViewOfFile(m_shared);
        if (m_mapping != nullptr) CloseHandle(m_mapping);
        m_shared = nullptr;
        m_mapping = nullptr;
    }

  private:
    static inline int s_serial = 0;
    HANDLE m_mapping = nullptr;
    ProbeShared* m_shared = nullptr;
    PROCESS_INFORMATION m_process = {};
    bool m_ok = false;
};

}  // namespace tw::wintest
