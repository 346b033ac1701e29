#pragma once
// The timeline of a run: a flame chart of the profiler's calls, time across and call depth
// down, each call a bar labelled with its formula's name and coloured by it. The wheel zooms
// around the pointer, dragging pans, hovering tells name, duration, record number and messages,
// a click asks for the call's entry line. Calls narrower than a pixel are merged, so a frame
// costs the pixels, not the calls.

#include "tw/core/profiler.hpp"

#include <QWidget>

namespace tw::viewer {

class TimelineView : public QWidget {
    Q_OBJECT
  public:
    explicit TimelineView(QWidget* parent = nullptr);

    // The profiler must outlive the view or be replaced first; nullptr shows nothing.
    void SetProfiler(const Profiler* profiler);
    // The calls changed: the whole run fits the width again unless the user zoomed.
    void CallsChanged();
    // Shows the whole run.
    void ShowAll();
    // The call under a point, -1 for none.
    int CallAt(const QPoint& pos) const;
    // Microseconds a pixel, and the time at the left edge.
    double Scale() const { return m_scale; }
    double From() const { return m_from; }
    void ZoomAround(int x, double factor);

    static constexpr int kRowHeight = 18;

  signals:
    // A call was clicked: its entry line in the trace (0 when it has none).
    void callChosen(int entryLine);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::int64_t EndOf(const Profiler::Call& call) const;
    void Range(std::int64_t& first, std::int64_t& last) const;

    const Profiler* m_profiler = nullptr;
    double m_from = 0;      // microseconds at x = 0
    double m_scale = 1;     // microseconds a pixel
    bool m_zoomed = false;  // the user zoomed or panned: arrivals keep the view
    QPoint m_dragFrom;
    double m_dragStart = 0;
    bool m_dragged = false;
};

}  // namespace tw::viewer
