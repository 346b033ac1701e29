#pragma once
// The overview strip beside a trace view's vertical scroll bar: where in the whole trace the
// matches of the highlighted pattern, the marks, the bookmark, errors and warnings lie, and
// which part is in sight. A click goes to the nearest such line.

#include "tw/core/overview_buckets.hpp"

#include <QTimer>
#include <QWidget>

#include <memory>

namespace tw::viewer {

class PatternMatcher;
class TraceView;

class OverviewStrip : public QWidget {
    Q_OBJECT
public:
    explicit OverviewStrip(TraceView& view);
    ~OverviewStrip() override;

    static constexpr int kWidth = 10;
    QSize sizeHint() const override { return {kWidth, 0}; }

    // Lines were appended: they are looked at in the background.
    void LinesAppended();
    // Everything again (lines removed, the pattern or the marks changed).
    void Rescan();
    // One line's colours changed (the bookmark): its run is looked at again.
    void LineChanged(int line);
    // Looks at every line now (for tests; a timer does it in slices otherwise).
    void ScanAll();
    const OverviewBuckets& Buckets() const { return m_buckets; }
    // The kinds of one line, as the strip sees them.
    std::uint8_t KindsOf(int line);
    // The line a click at y goes to: the first line of the nearest marked run within a few
    // pixels, else the line at that height. 0 for an empty trace.
    int LineForY(int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ScanSome();
    int YOfLine(int line) const;
    void PrepareMatcher();

    TraceView& m_view;
    OverviewBuckets m_buckets;
    QTimer m_scan;
    std::unique_ptr<PatternMatcher> m_matcher;
};

}  // namespace tw::viewer
