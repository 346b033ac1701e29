#include "tw/core/trace_pages.hpp"

namespace tw::viewer {

TracePages::~TracePages() = default;

PlainTracePages::PlainTracePages()
    : m_captions{QStringLiteral("Default"), QStringLiteral("Filter"), QStringLiteral("Filter"),
                 QStringLiteral("Filter"), QStringLiteral("Filter")} {}

bool PlainTracePages::CanAdd() const {
    for (int k = 1; k <= 4; ++k)
        if (!m_open[k]) return true;
    return false;
}

TraceTree* PlainTracePages::Add(const QString& caption) {
    for (int k = 1; k <= 4; ++k) {
        if (!m_open[k]) {
            m_open[k] = true;
            m_captions[k] = caption;
            m_current = k;
            return &m_trees[k];
        }
    }
    return nullptr;
}

void PlainTracePages::RemoveCurrent() {
    if (m_current == 0) return;
    m_open[m_current] = false;
    // Like the tab bar: the next open page to the right, else to the left.
    int next = 0;
    for (int k = m_current + 1; k <= 4 && !next; ++k)
        if (m_open[k]) next = k;
    for (int k = m_current - 1; k >= 0 && !next; --k)
        if (m_open[k]) next = k;
    m_current = next;
}

void PlainTracePages::RemoveAll() {
    for (int k = 1; k <= 4; ++k) {
        m_open[k] = false;
        m_trees[k].Clear();
    }
    m_current = 0;
}

int PlainTracePages::PageOf(const TraceTree& tree) const {
    for (int k = 0; k < 5; ++k)
        if (&m_trees[k] == &tree) return k;
    return -1;
}

void PlainTracePages::SetCurrentPage(int page) {
    if (page >= 0 && page <= 4 && m_open[page]) m_current = page;
}

}  // namespace tw::viewer
