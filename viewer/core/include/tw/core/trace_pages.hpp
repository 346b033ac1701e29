#pragma once
// What the store and the other viewer parts need from the trace tab set. The display's
// Viewer implements it over the real tab widget; tests can use a plain implementation.

#include "tw/core/trace_tree.hpp"

#include <QString>

namespace tw::viewer {

class TracePages {
public:
    virtual ~TracePages();
    // The tree of the "Default" page.
    virtual TraceTree& GetDefault() = 0;
    // The tree of the selected page (the default tree or a filter page's tree).
    virtual TraceTree& GetCurrent() = 0;
    // True when a filter page is free.
    virtual bool CanAdd() const = 0;
    // Opens the lowest free filter page with the caption, selects it and returns its tree;
    // nullptr (and no change) when all four are open.
    virtual TraceTree* Add(const QString& caption) = 0;
    // Hides the selected page unless it is the default page; its lines are not touched.
    virtual void RemoveCurrent() = 0;
    // Hides every filter page and removes their lines.
    virtual void RemoveAll() = 0;
    // Page 0 to 4 that shows the tree, -1 for a tree of no page.
    virtual int PageOf(const TraceTree& tree) const = 0;
    // Selects an open page (0 to 4); a hidden page or another number changes nothing.
    virtual void SetCurrentPage(int page) = 0;
};

// Five trees and page bookkeeping without any widget: for headless use (tests, benchmarks,
// tools). Page 0 is the default page and always open.
class PlainTracePages : public TracePages {
public:
    PlainTracePages();
    TraceTree& GetDefault() override { return m_trees[0]; }
    TraceTree& GetCurrent() override { return m_trees[m_current]; }
    bool CanAdd() const override;
    TraceTree* Add(const QString& caption) override;
    void RemoveCurrent() override;
    void RemoveAll() override;

    int PageOf(const TraceTree& tree) const override;
    void SetCurrentPage(int page) override;  // ignored for a hidden page

    int CurrentPage() const { return m_current; }
    bool IsOpen(int page) const { return m_open[page]; }
    const QString& Caption(int page) const { return m_captions[page]; }
    TraceTree& Tree(int page) { return m_trees[page]; }

private:
    TraceTree m_trees[5];
    bool m_open[5] = {true, false, false, false, false};
    QString m_captions[5];
    int m_current = 0;
};

}  // namespace tw::viewer
