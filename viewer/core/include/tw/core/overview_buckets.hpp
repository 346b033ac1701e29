#pragma once
// What an overview beside a trace shows: the trace cut into at most kMaxBuckets runs of
// equal length (a power of two lines), each with the kinds of line it holds. Lines are
// added in order; when the runs run out, neighbours merge and the runs double in length,
// so the whole costs a few kilobytes however long the trace. Qt-free.

#include <cstdint>
#include <vector>

namespace tw::viewer {

class OverviewBuckets {
public:
    enum Kind : std::uint8_t { kMatch = 1, kMark = 2, kBookmark = 4, kError = 8, kWarning = 16 };
    static constexpr int kMaxBuckets = 2048;

    void Reset();
    // Adds the next line (Scanned() + 1) with its kinds.
    void Add(std::uint8_t kinds);
    // Lines added so far.
    int Scanned() const { return m_scanned; }
    int BucketCount() const { return int(m_kinds.size()); }
    std::uint8_t Kinds(int bucket) const { return m_kinds[std::size_t(bucket)]; }
    // The bucket of a line (1-based) and the lines of a bucket.
    int BucketOf(int line) const { return (line - 1) >> m_shift; }
    int FirstLine(int bucket) const { return (bucket << m_shift) + 1; }
    int LastLine(int bucket) const;
    // Sets a bucket's kinds anew (after its lines were looked at again).
    void SetKinds(int bucket, std::uint8_t kinds) { m_kinds[std::size_t(bucket)] = kinds; }

private:
    std::vector<std::uint8_t> m_kinds;
    int m_shift = 0;  // a bucket holds 2^m_shift lines
    int m_scanned = 0;
};

}  // namespace tw::viewer
