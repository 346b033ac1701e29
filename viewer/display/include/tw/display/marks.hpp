#pragma once
// Marks: any number of trace lines marked by the user (Toggle Mark), each with a marker at the
// left edge of the trace view and in its overview strip, and moving to the next or previous marked line of the
// current page (wrapping). A mark belongs to the message a line shows, so the line's copies in
// filter pages are marked too; it goes when no page shows the message any more (its lines
// deleted or cleared). The one bookmark is separate and unchanged.

#include "tw/core/message_sink.hpp"

#include <QObject>
#include <QPointer>

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

namespace tw::viewer {

class TraceTree;
class TraceView;
class Viewer;

class Marks : public QObject {
    Q_OBJECT
public:
    // Watches the viewer's five trees and has its five views draw the markers; the viewer must
    // outlive this object or destroy its trees first (both are handled).
    explicit Marks(Viewer& viewer, QObject* parent = nullptr);
    ~Marks() override;

    // Marks the selected line of the current page, or unmarks it; false when no line is selected.
    bool Toggle();
    // Selects the next (previous) marked line of the current page after (before) the selected
    // one, going round at the end; false when the page has no marked line.
    bool Next();
    bool Previous();
    // Drops every mark.
    void ClearAll();
    // Has another view of one of the pages' lines (such as a quick filter's view) draw the
    // markers too.
    void Attach(TraceView* view);

    bool IsMarked(const TraceTree& tree, int index) const;
    // Marks held (messages, however many lines show each).
    int Count() const { return int(m_marked.size()); }

    // The marker's colour and width in pixels.
    static constexpr int kMarkerWidth = 4;

signals:
    void changed();

private:
    class TreeWatch;
    bool Step(int direction);
    // Drops the marks among candidates that no tree shows any more.
    void Prune(std::unordered_map<const MessageSink*, MessageRef>& candidates);
    void Repaint();

    Viewer& m_viewer;
    std::unordered_map<const MessageSink*, MessageRef> m_marked;
    std::array<std::unique_ptr<TreeWatch>, 5> m_watches;
    std::vector<QPointer<TraceView>> m_views;  // the views that draw the markers
};

}  // namespace tw::viewer
