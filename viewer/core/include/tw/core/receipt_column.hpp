#pragma once
// The receipt times of a trace's lines, kept compactly beside the lines.

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw::viewer {

// Receipt times of a run of lines, 4 bytes a line: microsecond offsets from the start of a
// segment of lines. A segment covers some 71 minutes of receiving; a time before its start,
// or beyond its reach, begins a new one. 0 stands for "unknown" (lines read from a log).
class ReceiptColumn {
public:
    void Push(qint64 microseconds);
    void Reserve(std::size_t lines) { m_offsets.reserve(lines); }
    qint64 At(std::size_t i) const;                   // 0-based
    void Erase(std::size_t first, std::size_t last);  // removes [first, last)
    void Clear();
    std::size_t Bytes() const;

private:
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    struct Segment {
        std::size_t first;  // its first line
        qint64 base;        // the time its offsets count from
    };
    std::vector<std::uint32_t> m_offsets;
    std::vector<Segment> m_segments;  // ascending by first
};

}  // namespace tw::viewer
