#pragma once
// The bookmark: one marked trace line in the whole viewer, painted magenta with white bold
// text, and jumping back to it.

#include "tw/core/trace_tree.hpp"

namespace tw::viewer {

class TracePages;

inline constexpr Colour kBookmarkBackColour = 0x00FF00FFu;  // magenta
inline constexpr Colour kBookmarkForeColour = 0x00FFFFFFu;  // white

class Bookmark {
public:
    // pages must outlive the object.
    explicit Bookmark(TracePages& pages) : m_pages(pages) {}
    Bookmark(const Bookmark&) = delete;
    Bookmark& operator=(const Bookmark&) = delete;
    // Dropping the object forgets the mark without restoring the line's colours.
    ~Bookmark() = default;

    // Marks the selected line of the current page; the line marked before gets its colours
    // back first (unless it is gone). Does nothing when the page is empty or has no selection.
    void SetBookMark();
    // Makes the marked line the current line. When it lies on another open page, that page
    // is selected first. Does nothing when no line is marked or the marked line was deleted
    // or cleared (the mark is then forgotten).
    void GetBookMark();

    // The marked line's page tree and current index; nullptr / 0 when nothing is marked or
    // the line is gone.
    TraceTree* MarkedTree() const;
    int MarkedIndex() const;

private:
    TracePages& m_pages;
    TraceTree* m_tree = nullptr;  // the tree that holds the mark (one of the pages' trees)
    LineHandle m_line;
    Colour m_savedBack = kDefaultColour;
    Colour m_savedFore = kDefaultColour;
};

}  // namespace tw::viewer
