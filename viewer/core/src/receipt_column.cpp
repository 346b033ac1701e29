#include "tw/core/receipt_column.hpp"

#include <algorithm>

namespace tw::viewer {

void ReceiptColumn::Push(qint64 us) {
    if (us == 0) {
        m_offsets.push_back(kUnknown);
        return;
    }
    if (m_segments.empty() || us < m_segments.back().base || us - m_segments.back().base >= qint64(kUnknown))
        m_segments.push_back({m_offsets.size(), us});
    m_offsets.push_back(std::uint32_t(us - m_segments.back().base));
}

qint64 ReceiptColumn::At(std::size_t i) const {
    const std::uint32_t offset = m_offsets[i];
    if (offset == kUnknown) return 0;
    // A known line always lies in a segment: the last one starting at or before it.
    auto it = m_segments.end() - 1;
    if (it->first > i) {
        it = std::upper_bound(m_segments.begin(), m_segments.end(), i,
                              [](std::size_t line, const Segment& s) { return line < s.first; }) - 1;
    }
    return it->base + offset;
}

void ReceiptColumn::Erase(std::size_t first, std::size_t last) {
    const std::size_t n = last - first;
    m_offsets.erase(m_offsets.begin() + std::ptrdiff_t(first), m_offsets.begin() + std::ptrdiff_t(last));
    // A segment starting inside the removed run now starts where the run was; of several
    // that do, only the last still has lines.
    for (Segment& s : m_segments) s.first = s.first >= last ? s.first - n : s.first >= first ? first : s.first;
    std::vector<Segment> kept;
    for (std::size_t k = 0; k < m_segments.size(); ++k) {
        const bool hidden = k + 1 < m_segments.size() && m_segments[k + 1].first == m_segments[k].first;
        if (!hidden && m_segments[k].first < m_offsets.size()) kept.push_back(m_segments[k]);
    }
    m_segments.swap(kept);
}

void ReceiptColumn::Clear() {
    std::vector<std::uint32_t>().swap(m_offsets);
    std::vector<Segment>().swap(m_segments);
}

std::size_t ReceiptColumn::Bytes() const {
    return m_offsets.capacity() * sizeof(std::uint32_t) + m_segments.capacity() * sizeof(Segment);
}

}  // namespace tw::viewer
