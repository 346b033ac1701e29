#include "tw/core/overview_buckets.hpp"

#include <algorithm>

namespace tw::viewer {

void OverviewBuckets::Reset() {
    m_kinds.clear();
    m_shift = 0;
    m_scanned = 0;
}

void OverviewBuckets::Add(std::uint8_t kinds) {
    const int line = ++m_scanned;
    int bucket = BucketOf(line);
    if (bucket >= kMaxBuckets) {
        // Twice as long runs: each new bucket takes two old ones.
        for (std::size_t i = 0; 2 * i < m_kinds.size(); ++i)
            m_kinds[i] = std::uint8_t(m_kinds[2 * i] | (2 * i + 1 < m_kinds.size() ? m_kinds[2 * i + 1] : 0));
        m_kinds.resize((m_kinds.size() + 1) / 2);
        ++m_shift;
        bucket = BucketOf(line);
    }
    if (bucket >= int(m_kinds.size())) m_kinds.resize(std::size_t(bucket) + 1, 0);
    m_kinds[std::size_t(bucket)] |= kinds;
}

int OverviewBuckets::LastLine(int bucket) const { return std::min(((bucket + 1) << m_shift), m_scanned); }

}  // namespace tw::viewer
