#pragma once
// Puts MainWindowGeometry on the main window's widgets: reacts to the window being resized,
// minimised and restored, to the splitter being dragged, to another page of tabWindows being
// selected and to picViewer changing size (the trace area). Twips become pixels at 1440 per
// logical inch of the screen the window is on.

#include "tw/window/controls.hpp"
#include "tw/window/layout_geometry.hpp"

#include <QObject>

class QMainWindow;
class QRect;

namespace tw::window {

class MainWindowLayout : public QObject {
    Q_OBJECT
public:
    // Watches the window and its controls; both must outlive this object (the window owns it).
    MainWindowLayout(QMainWindow& window, const Controls& controls);

    // The window was resized (also when first shown): the minimum-size rule, then, unless the
    // window is minimised, SizeControlsH at the splitter's current position.
    void Form_Resize();
    // Lays the client area out with the splitter at y twips (clamped).
    void SizeControlsH(float y);
    // Fits the controls of tabWindows' current page.
    void SizeTabPanes();
    // Fits the trace tab set and its trees into picViewer.
    void SizeTraceArea();

    // The splitter mouse handlers; offsetY in twips from the top of imgSplitterH.
    void imgSplitterH_MouseDown();
    void imgSplitterH_MouseMove(float offsetY);
    void imgSplitterH_MouseUp();

    const MainWindowGeometry& geometry() const { return m_geometry; }

    // With it on, a change of the window's height goes to the trace first: the splitter moves
    // with the bottom edge (then the usual clamps apply). Off, as designed, the splitter keeps
    // its place and the lower pages take the change.
    void SetTraceTakesHeight(bool on) { m_traceTakesHeight = on; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reads the window's outer and client size and the heights of the bars into the geometry.
    void Measure();
    // Pixel rectangle of a client-area rectangle, relative to the controls' parent.
    QRect ClientToParent(const TwipRect& rect) const;
    void ApplyClient();
    void ApplySplitterBar();
    void ApplyTabPanes();
    void ApplyTraceArea();

    QMainWindow& m_window;
    Controls m_controls;
    MainWindowGeometry m_geometry;
    bool m_inResize = false;
    bool m_traceTakesHeight = false;
    float m_lastScaleHeight = -1;  // client height at the last resize, for m_traceTakesHeight
};

}  // namespace tw::window
