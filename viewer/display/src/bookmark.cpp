#include "tw/display/bookmark.hpp"

#include "tw/core/trace_pages.hpp"

namespace tw::viewer {

int Bookmark::MarkedIndex() const { return m_tree ? m_tree->IndexOf(m_line) : 0; }

TraceTree* Bookmark::MarkedTree() const { return MarkedIndex() ? m_tree : nullptr; }

void Bookmark::SetBookMark() {
    TraceTree& tree = m_pages.GetCurrent();
    const int selected = tree.Selected();
    if (tree.IsEmpty() || selected == 0) return;
    // Restore the line marked before, if it still exists; a deleted or cleared line has no
    // colours to restore, and its handle can never name another line.
    if (const int marked = MarkedIndex()) {
        m_tree->SetBackColour(marked, m_savedBack);
        m_tree->SetForeColour(marked, m_savedFore);
        m_tree->SetBold(marked, false);
    }
    m_tree = &tree;
    m_line = tree.Handle(selected);
    m_savedBack = tree.BackColour(selected);
    m_savedFore = tree.ForeColour(selected);
    tree.SetBackColour(selected, kBookmarkBackColour);
    tree.SetForeColour(selected, kBookmarkForeColour);
    tree.SetBold(selected, true);
}

void Bookmark::GetBookMark() {
    const int marked = MarkedIndex();
    if (marked == 0) {
        m_tree = nullptr;
        m_line = {};
        return;
    }
    if (&m_pages.GetCurrent() != m_tree) {
        const int page = m_pages.PageOf(*m_tree);
        if (page < 0) return;
        m_pages.SetCurrentPage(page);
        if (&m_pages.GetCurrent() != m_tree) return;  // the page could not be selected
    }
    m_tree->Select(marked);
}

}  // namespace tw::viewer
