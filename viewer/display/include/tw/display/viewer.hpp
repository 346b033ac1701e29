#pragma once
// The trace tab set: the "Default" page and four filter pages, each a TraceTree shown in a
// TraceView.

#include "tw/core/trace_pages.hpp"
#include "tw/display/trace_view.hpp"

#include <QObject>
#include <QPointer>
#include <QTabWidget>

#include <array>
#include <memory>


class QWidget;

namespace tw::viewer {

// Owns the five trace trees and the tab widget `tabViewer` that shows them (pages along the
// bottom edge). Page 0 "Default" holds `tvwViewer`; pages 1 to 4 ("Filter" until a filter
// names them) hold the four `tvwFilter` views (object name "tvwFilter", property "index"
// 0 to 3). Filter pages start hidden. Which page is current is the tab widget's selection.
class Viewer : public QObject, public TracePages {
    Q_OBJECT
public:
    // The tab widget is created as a child of parent; place it where the trace area goes.
    explicit Viewer(QWidget* parent = nullptr);
    ~Viewer() override;

    TraceTree& GetDefault() override;
    TraceTree& GetCurrent() override;
    bool CanAdd() const override;
    TraceTree* Add(const QString& caption) override;
    void RemoveCurrent() override;
    void RemoveAll() override;

    // The tab widget `tabViewer` (nullptr once its parent destroyed it).
    QTabWidget* TabWidget() const { return m_tabs; }
    // Page 0 to 4 of a tree of this viewer, -1 for another tree.
    int PageOf(const TraceTree& tree) const override;
    // Selects an open page; a hidden page is not selected.
    void SetCurrentPage(int page) override;
    int CurrentPage() const;
    TraceTree& Tree(int page) const { return *m_trees[std::size_t(page)]; }
    TraceView* View(int page) const { return m_views[std::size_t(page)]; }
    // Shows every appended line in the views now (they otherwise follow within a moment).
    void FlushPending();

signals:
    // The right mouse button over a trace tree asks for the Search menu (released over the
    // default tree, pressed over a filter tree).
    void searchMenuRequested(const QPoint& globalPos);

private:
    std::array<std::unique_ptr<TraceTree>, 5> m_trees;
    QPointer<QTabWidget> m_tabs;
    std::array<QPointer<TraceView>, 5> m_views;
};

}  // namespace tw::viewer
